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

class DriveMapFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("drivemap-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "c" / "Data" / "sub");
        fs::create_directories(root_ / "outside");
        std::ofstream(root_ / "outside" / "secret.txt") << "secret";
        map_.Add({'c', root_ / "c", DriveType::Fixed, "DATA"});
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
    DriveMap map_;
};

TEST_F(DriveMapFolderTest, MapsIntoTheDriveFolder) {
    EXPECT_EQ(map_.ToLinux("C:\\Data\\sub"), fs::canonical(root_ / "c" / "Data" / "sub"));
    EXPECT_EQ(map_.ToLinux("c:\\Data\\new.zip"), fs::canonical(root_ / "c" / "Data") / "new.zip");
}

TEST_F(DriveMapFolderTest, FindsNamesThatDifferOnlyInCase) {
    EXPECT_EQ(map_.ToLinux("c:\\DATA\\SUB"), fs::canonical(root_ / "c" / "Data" / "sub"));
    // Unicode case, as the path policy compares it.
    fs::create_directories(root_ / "c" / "Priv\xC3\xA9" /
                           "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1");
    EXPECT_EQ(
        map_.ToLinux("c:\\PRIV\xC3\x89\\\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91"),
        fs::canonical(root_ / "c" / "Priv\xC3\xA9" / "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1"));
}

TEST_F(DriveMapFolderTest, RefusesPathsLeavingTheDrive) {
    fs::create_directory_symlink(root_ / "outside", root_ / "c" / "Data" / "link");
    EXPECT_FALSE(map_.ToLinux("c:\\..\\outside\\secret.txt"));
    EXPECT_FALSE(map_.ToLinux("c:\\Data\\link\\secret.txt"));
    EXPECT_FALSE(map_.ToLinux("c:\\Data\\link"));
    EXPECT_FALSE(map_.ToLinux("d:\\anything"));
}

}  // namespace
}  // namespace vantrel::platform
