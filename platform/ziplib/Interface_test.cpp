// The calls of the libraries' fixed interface that the web component does not make, through the C
// interface as other callers bind them.
#include <gtest/gtest.h>

#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

std::string ArchiveComment(std::string archive, int32_t size = 256, int32_t* length = nullptr) {
    LSUZ_INIT();
    LSUZ_ZIPNAME(Text(archive));
    std::vector<char> comment(static_cast<size_t>(size));
    int32_t result = LSUZ_GETCMT(comment.data(), size);
    if (length) {
        *length = result;
    }
    return result < 0 ? "" : std::string(comment.data());
}

class Interface : public ::testing::Test {
  protected:
    void SetUp() override { LSZIP_INIT(); }
    void TearDown() override { LSZIP_INIT(); }
    TestDrive drive;
};

TEST_F(Interface, CommentsGoIntoTheArchiveAndItsNewEntries) {
    drive.Put("a.txt", "a");
    std::string archiveComment = "Backup of \xC3\xA9t\xC3\xA9", fileComment = "from the server";
    ASSERT_EQ(LSZIP_SETARCHIVECMT(Text(archiveComment)), 1);
    ASSERT_EQ(LSZIP_SETFILECMT(Text(fileComment)), 1);
    ASSERT_EQ((ZipCall{.list = "c:\\a.txt"}.Run()), 0);
    EXPECT_EQ(ArchiveComment("c:\\test.zip"), archiveComment);
    EXPECT_STREQ(ListEntries("c:\\test.zip").at(0).record.comment, "from the server");
    int32_t length = 0;
    EXPECT_EQ(ArchiveComment("c:\\test.zip", 7, &length), "Backup");  // cut, never mid-character
    EXPECT_EQ(length, static_cast<int32_t>(archiveComment.size()));
    std::string tooLong(65536, 'x');
    EXPECT_EQ(LSZIP_SETARCHIVECMT(Text(tooLong)), 0);
    EXPECT_EQ(LSZIP_SETARCHIVECMT(nullptr), 0);
}

TEST_F(Interface, ADateLimitsAnUpdateToNewerFiles) {
    drive.Put("old.txt", "old", 7200);
    drive.Put("new.txt", "new", 60);
    std::time_t hourAgo = std::time(nullptr) - 3600;
    std::tm local{};
    localtime_r(&hourAgo, &local);
    int32_t words = ((local.tm_year - 80) << 25) | ((local.tm_mon + 1) << 21) |
                    (local.tm_mday << 16) | (local.tm_hour << 11) | (local.tm_min << 5);
    ASSERT_EQ(LSZIP_SETDATE(words), 1);
    ASSERT_EQ((ZipCall{.action = LSZIP_UPDATE, .list = "c:\\*.txt"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), std::vector<std::string>{"new.txt"});
    ASSERT_EQ(LSZIP_SETDATE(0), 1);
    ASSERT_EQ((ZipCall{.action = LSZIP_UPDATE, .list = "c:\\*.txt"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip").size(), 2u);
}

TEST_F(Interface, RemovingTheArchiveServesOneCallAndInitForgetsEverySetting) {
    drive.Put("a.txt", "a");
    LSZIP_REMOVEARCHIVE(1);
    ASSERT_EQ((ZipCall{.list = "c:\\a.txt"}.Run()), 0);
    EXPECT_FALSE(drive.Exists("test.zip"));
    ASSERT_EQ((ZipCall{.list = "c:\\a.txt"}.Run()), 0);
    EXPECT_TRUE(drive.Exists("test.zip"));

    std::string comment = "kept until INIT";
    LSZIP_SETARCHIVECMT(Text(comment));
    LSZIP_INIT();
    ASSERT_EQ((ZipCall{.archive = "c:\\plain.zip", .list = "c:\\a.txt"}.Run()), 0);
    EXPECT_EQ(ArchiveComment("c:\\plain.zip"), "");
    EXPECT_EQ(ArchiveComment("c:\\missing.zip"), "");
    int32_t code = 0;
    ArchiveComment("c:\\*.zip", 256, &code);
    EXPECT_EQ(code, -151) << "a comment is read from one archive";
}

}  // namespace
}  // namespace vantrel::ziplib::testing
