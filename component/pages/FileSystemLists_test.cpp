#include <gtest/gtest.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "component/core/PageHarness.h"
#include "component/pages/PagesTestAccess.h"

namespace vantrel {
namespace {
namespace fs = std::filesystem;

using testing::TemporaryServer;

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(DriveList, KeepsFixedAndNetworkDrivesInConfiguredOrder) {
    TemporaryServer server;
    std::string folder = server.DriveFolder().string();
    setenv("VANTREL_DRIVES",
           ("a=" + folder + ",removable;c=" + folder + ",fixed,SYSTEM;d=" + folder +
            ",cdrom;r=" + folder + ",ramdisk;f=" + folder + ",network;e=" + folder + ",fixed")
               .c_str(),
           1);
    EXPECT_EQ(PagesAccess::BuildDriveList("c:"),
              "<OPTION VALUE=\"c:\" SELECTED>c: [SYSTEM]\r\n"
              "<OPTION VALUE=\"f:\">f: [Network Drive]\r\n"
              "<OPTION VALUE=\"e:\">e: []\r\n");
    EXPECT_EQ(CountOf(PagesAccess::BuildDriveList(""), "SELECTED"), 0);

    setenv("VANTREL_DRIVES", ("c=" + folder + ",fixed,<b>vol</b>").c_str(), 1);
    EXPECT_EQ(PagesAccess::BuildDriveList("c:"),
              "<OPTION VALUE=\"c:\" SELECTED>c: [&lt;b&gt;vol&lt;/b&gt;]\r\n");

    setenv("VANTREL_DRIVES", "c=/tmp,floppy", 1);
    EXPECT_EQ(PagesAccess::BuildDriveList("c:"), "") << "a map that cannot be read lists nothing";
}

class FolderFileListsTest : public ::testing::Test {
  protected:
    void MakeFolder(const std::string& relative) {
        fs::create_directories(server_.DriveFolder() / relative);
    }
    fs::path MakeFile(const std::string& relative, uintmax_t size = 0) {
        fs::path path = server_.DriveFolder() / relative;
        std::ofstream{path};
        fs::resize_file(path, size);
        return path;
    }

    TemporaryServer server_;
};

TEST_F(FolderFileListsTest, ChainLeadsDownToTheCurrentFolder) {
    MakeFolder("a/b/Zed");
    MakeFolder("a/b/child");
    auto lists = PagesAccess::BuildFolderFileLists("c:", "", "c:\\a\\b\\");
    EXPECT_EQ(lists.count, 0);
    EXPECT_EQ(lists.files, "");
    EXPECT_EQ(lists.folders,
              "<OPTION VALUE=\"\">c:\r\n"
              "<OPTION VALUE=\"\\a\">&nbsp;&nbsp;a\r\n"
              "<OPTION VALUE=\"\\a\\b\" SELECTED>&nbsp;&nbsp;&nbsp;&nbsp;b\r\n"
              "<OPTION VALUE=\"\\a\\b\\child\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;child\r\n"
              "<OPTION VALUE=\"\\a\\b\\Zed\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Zed\r\n");

    auto noTrailing = PagesAccess::BuildFolderFileLists("c:", "", "c:\\a\\b");
    EXPECT_EQ(CountOf(noTrailing.folders, "SELECTED"), 0);
    EXPECT_EQ(CountOf(noTrailing.folders, "VALUE=\"\\a\\b\""), 0);
}

TEST_F(FolderFileListsTest, FilesMatchThePatternAndSkipDotNames) {
    MakeFile("b.TXT");
    MakeFile("a.txt");
    MakeFile(".profile");
    MakeFile("c.doc");
    MakeFolder("folder.txt");
    auto lists = PagesAccess::BuildFolderFileLists("c:", "*.txt", "c:\\");
    EXPECT_EQ(lists.count, 2);
    EXPECT_EQ(CountOf(lists.files, "<OPTION VALUE="), 2);
    EXPECT_LT(lists.files.find("VALUE=\"a.txt\""), lists.files.find("VALUE=\"b.TXT\""));
    EXPECT_EQ(PagesAccess::BuildFolderFileLists("c:", "*.*", "c:\\").count, 3);
}

TEST_F(FolderFileListsTest, TitleCarriesNameTimeAttributesAndSize) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        const char* name;
        uintmax_t size;
        std::time_t modified;
        bool readOnly;
        const char* title;
    } cases[] = {
        {"empty.txt", 0, 945437550, false,
         "File Name: c:\\empty.txt|Last Modified: 12/17/1999 1:32:30 PM|Attributes: Archive set|"
         "File Size: 0 bytes"},
        {"big.txt", 1234567, 945388800, true,
         "File Name: c:\\big.txt|Last Modified: 12/17/1999|Attributes: Read-only, Archive set|"
         "File Size: 1,234,567 bytes"},
    };
    for (const auto& c : cases) {
        fs::path path = MakeFile(c.name, c.size);
        utimbuf times{c.modified, c.modified};
        utime(path.c_str(), &times);
        if (c.readOnly) {
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::remove);
        }
        auto lists = PagesAccess::BuildFolderFileLists("c:", c.name, "c:\\");
        EXPECT_EQ(lists.files, std::string("<OPTION VALUE=\"") + c.name + "\" TITLE=\"" + c.title +
                                   "\">" + c.name + "\r\n");
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace vantrel
