#include "platform/drives/DriveMap.h"

#include <gtest/gtest.h>

#include "platform/drives/WindowsPath.h"

namespace vantrel::platform {
namespace {

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

// Types, volumes and the drives' order are read through the drive list (FolderListing); the
// host writes a map back as text.
TEST(DriveMapTest, WritesAMapBackAsItsText) {
    auto map = DriveMap::Parse("c=/srv/c;d=/mnt/cd,cdrom,DISC;;E=/x,,VOL");
    ASSERT_TRUE(map);
    auto again = DriveMap::Parse(map->ToSpec());
    ASSERT_TRUE(again);
    ASSERT_EQ(again->Drives().size(), 3u);
    EXPECT_EQ(again->Find('e')->volumeName, "VOL");
    EXPECT_EQ(again->Drives()[1].type, DriveType::CdRom);
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
