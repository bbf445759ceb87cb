// Names as Linux has them: two files of one folder that differ in letter case alone, and colons
// inside names (Perl's manual pages are called File::Spec.3perl.gz).
#include <gtest/gtest.h>

#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

using Names = std::vector<std::string>;

class LinuxNames : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("pair/A.txt", "upper", 7200);
        drive.Put("pair/a.txt", "lower", 7200);
        drive.Put("pair/Docs/x.txt", "x", 7200);
        drive.Put("pair/docs/y.txt", "y", 7200);
    }
    TestDrive drive;
};

TEST_F(LinuxNames, FilesDifferingInCaseAloneAreTwoEntriesWhicheverWayTheyAreNamed) {
    const Names all{"A.txt", "Docs/", "Docs/x.txt", "a.txt", "docs/", "docs/y.txt"};
    ASSERT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\pair\\*.*"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), all);
    ASSERT_EQ(
        (ZipCall{.archive = "c:\\named.zip", .list = "c:\\pair\\A.txt|c:\\pair\\a.txt"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\named.zip"), (Names{"A.txt", "a.txt"}));
    ASSERT_EQ(TestArchive(), 0);
    ASSERT_EQ((UnzipCall{}.Run()), 0);
    EXPECT_EQ(drive.Read("out/A.txt"), "upper");
    EXPECT_EQ(drive.Read("out/a.txt"), "lower");
    EXPECT_EQ(drive.Read("out/Docs/x.txt") + drive.Read("out/docs/y.txt"), "xy");
}

TEST_F(LinuxNames, ANameMatchesItsExactEntryOrTheOneDifferingInCaseAlone) {
    ASSERT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\pair\\*.*"}.Run()), 0);
    drive.Put("pair/a.txt", "lower, edited");
    ASSERT_EQ((ZipCall{.action = LSZIP_UPDATE, .flags = kRecurse, .list = "c:\\pair\\*.*"}.Run()),
              0);
    ASSERT_EQ((UnzipCall{.names = "a.txt"}.Run()), 0);
    EXPECT_EQ(drive.Read("out/a.txt"), "lower, edited");
    EXPECT_FALSE(drive.Exists("out/A.txt"));
    // With two entries differing from it in case alone, a name stands for neither.
    EXPECT_EQ((ZipCall{.action = LSZIP_DELETE, .list = "A.TXT"}.Run()), -168);
    EXPECT_EQ((UnzipCall{.names = "A.TXT", .target = "c:\\none"}.Run()), -1);
    ASSERT_EQ((ZipCall{.action = LSZIP_DELETE, .list = "a.txt"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"),
              (Names{"A.txt", "Docs/", "Docs/x.txt", "docs/", "docs/y.txt"}));
    ASSERT_EQ((ZipCall{.action = LSZIP_DELETE, .list = "a.TXT"}.Run()), 0);  // now the only one
    EXPECT_EQ(EntryNames("c:\\test.zip").front(), "Docs/");
}

// Zipped, they are seen in the browser.
TEST_F(LinuxNames, NamesWithColonsAreExtractedLikeAnyOther) {
    Craft(drive.Path("man.zip"), {{"man3/File::Spec.3perl.gz", "perl"},
                                  {"ab:c", "colon"},
                                  {"x/c:d", "a drive-like name, but not the first segment"}});
    ASSERT_EQ((UnzipCall{.archive = "c:\\man.zip", .target = "c:\\man"}.Run()), 0);
    EXPECT_EQ(drive.Read("man/man3/File::Spec.3perl.gz"), "perl");
    EXPECT_EQ(drive.Read("man/x/c:d").size(), 44u);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
