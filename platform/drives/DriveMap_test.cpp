#include "platform/drives/DriveMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/drives/WindowsPath.h"

namespace vantrel::platform {
namespace {
namespace fs = std::filesystem;

TEST(WindowsPathTest, NormalisesDotsAndSeparators) {
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\a\\b", "c:\\a\\b"},
        {"C:\\A\\.\\b\\", "c:\\A\\b"},
        {"c:\\inetpub\\wwwroot\\..\\..\\windows\\x", "c:\\windows\\x"},
        {"c:\\\\a\\\\\\b", "c:\\a\\b"},
        {"c:/a/b", "c:\\a\\b"},
        {"c:", "c:\\"},
        {"d:\\a\\..", "d:\\"},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(NormalizeWindowsPath(path).value_or("<refused>"), expected) << path;
    }
}

TEST(WindowsPathTest, RefusesClimbingAboveTheRootAndPathsWithoutDrive) {
    for (const char* path : {"c:\\..", "c:\\a\\..\\..\\b", "\\a\\b", "a.txt", "", "1:\\a"}) {
        EXPECT_FALSE(NormalizeWindowsPath(path)) << path;
    }
}

TEST(DriveMapTest, ParsesEntriesWithTypeAndVolume) {
    std::string error;
    auto map = DriveMap::Parse("c=/srv/c;d=/mnt/cd,cdrom,DISC;;E=/x,,VOL", &error);
    ASSERT_TRUE(map) << error;
    ASSERT_EQ(map->Drives().size(), 3u);
    EXPECT_EQ(map->Drives()[0].type, DriveType::Fixed);
    EXPECT_EQ(map->Drives()[1].type, DriveType::CdRom);
    EXPECT_EQ(map->Drives()[1].volumeName, "DISC");
    EXPECT_EQ(map->Find('e')->volumeName, "VOL");
    EXPECT_EQ(DriveMap::Parse(map->ToSpec())->Drives().size(), 3u);
}

TEST(DriveMapTest, RejectsMalformedEntries) {
    for (const char* spec : {"c", "c=", "cc=/x", "1=/x", "c=/x,floppy"}) {
        std::string error;
        EXPECT_FALSE(DriveMap::Parse(spec, &error)) << spec;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace vantrel::platform
