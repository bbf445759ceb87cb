#include "platform/files/FolderListing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include <unistd.h>

#include "platform/files/TestDrive.h"

namespace vantrel::platform {
namespace {
namespace fs = std::filesystem;

class FolderListingTest : public ::testing::Test {
  protected:
    void MakeFile(const std::string& relative, size_t size = 0) {
        drive.Put(relative, std::string(size, 'x'));
    }
    static std::vector<std::string> Names(const std::vector<ListedFile>& files) {
        std::vector<std::string> names;
        for (const auto& file : files) {
            names.push_back(file.name);
        }
        return names;
    }
    static std::optional<std::vector<ListedFile>> ListFiles(std::string_view folder,
                                                            std::string_view pattern,
                                                            size_t limit) {
        auto contents = ListFolder(folder, pattern, limit);
        return contents ? std::optional(contents->files) : std::nullopt;
    }
    static std::optional<std::vector<std::string>> ListSubfolders(std::string_view folder) {
        auto contents = ListFolder(folder, "", 0);
        return contents ? std::optional(contents->subfolders) : std::nullopt;
    }

    testing::TestDrive drive;
};

TEST_F(FolderListingTest, NamesAreOrderedIgnoringCase) {
    for (const char* name : {"b.txt", "A.txt", "c.TXT", "a.txt", "B10.txt", "b2.txt"}) {
        MakeFile(name);
    }
    for (const char* name : {"Zeta", "alpha", "Beta"}) {
        fs::create_directories(drive.Folder() / name);
    }
    auto files = ListFiles("c:\\", "*.*", 1000);
    ASSERT_TRUE(files);
    EXPECT_EQ(Names(*files),
              (std::vector<std::string>{"A.txt", "a.txt", "b.txt", "B10.txt", "b2.txt", "c.TXT"}));
    EXPECT_EQ(ListSubfolders("c:\\"), (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
}

TEST_F(FolderListingTest, FilesAndFoldersAreKeptApartAndHiddenFilesLeftOut) {
    MakeFile("sub\\inner.txt");  // a backslash name: cannot stand in a Windows path
    MakeFile("a|b.txt");         // nor can a bar stand in the pages' lists of files
    MakeFile("plain.txt");
    MakeFile(".profile");
    fs::create_directories(drive.Folder() / "folder.txt");
    fs::create_directories(drive.Folder() / ".config");

    auto files = ListFiles("c:\\", "*.*", 1000);
    ASSERT_TRUE(files);
    EXPECT_EQ(Names(*files), (std::vector<std::string>{"a|b.txt", "plain.txt", "sub\\inner.txt"}));
    EXPECT_FALSE((*files)[0].carriable);
    EXPECT_TRUE((*files)[1].carriable);
    EXPECT_FALSE((*files)[2].carriable);
    EXPECT_EQ(ListSubfolders("c:\\"), (std::vector<std::string>{".config", "folder.txt"}));
}

// A big folder's names are kept once it has stood unchanged for a while; a name added or
// removed afterwards still shows at once.
TEST_F(FolderListingTest, AKeptFolderStillShowsEveryChange) {
    for (int i = 0; i < 10050; ++i) {
        char name[16];
        snprintf(name, sizeof name, "f%05d.dat", i);
        MakeFile(name);
    }
    auto listed = [] {
        auto contents = ListFolder("c:\\", "*.*", 2);
        EXPECT_TRUE(contents);
        return contents ? Names(contents->files) : std::vector<std::string>{"(failed)"};
    };
    ASSERT_EQ(listed(), (std::vector<std::string>{"f00000.dat", "f00001.dat"}));
    ::sleep(3);  // settled: the next listings keep and then use the folder's names
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(listed(), (std::vector<std::string>{"f00000.dat", "f00001.dat"}));
    }
    MakeFile("a.dat");
    EXPECT_EQ(listed(), (std::vector<std::string>{"a.dat", "f00000.dat"}));
    fs::remove(drive.Folder() / "f00000.dat");
    fs::remove(drive.Folder() / "a.dat");
    auto contents = ListFolder("c:\\", "*.*", 2);
    ASSERT_TRUE(contents);
    EXPECT_EQ(Names(contents->files), (std::vector<std::string>{"f00001.dat", "f00002.dat"}));
    EXPECT_EQ(contents->filesMatched, 10049u);
}

// Size, time and the archive bit show in the page's file details (the browser's test); read-only
// follows the owner's write permission.
TEST_F(FolderListingTest, AFileItsOwnerMayNotWriteIsReadOnly) {
    MakeFile("locked.txt", 0);
    fs::permissions(drive.Folder() / "locked.txt", fs::perms::owner_read | fs::perms::group_read);
    auto files = ListFiles("c:\\", "*.*", 1000);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->at(0).details.attributes, kAttributeArchive | kAttributeReadOnly);
}

TEST_F(FolderListingTest, LinksLeadingOutOfTheDriveAreLeftOut) {
    std::ofstream(drive.Outside() / "secret.txt") << "secret";
    MakeFile("inside.txt");
    fs::create_symlink(drive.Outside() / "secret.txt", drive.Folder() / "escape.txt");
    fs::create_directory_symlink(drive.Outside(), drive.Folder() / "escapedir");
    fs::create_symlink(drive.Folder() / "inside.txt", drive.Folder() / "link.txt");
    fs::create_symlink(drive.Folder() / "missing.txt", drive.Folder() / "dangling.txt");
    fs::create_directories(drive.Folder() / "real");
    fs::create_directory_symlink(drive.Folder() / "real", drive.Folder() / "linkdir");

    auto files = ListFiles("c:\\", "*.*", 1000);
    ASSERT_TRUE(files);
    EXPECT_EQ(Names(*files), (std::vector<std::string>{"inside.txt", "link.txt"}));
    EXPECT_EQ(ListSubfolders("c:\\"), (std::vector<std::string>{"linkdir", "real"}));
}

TEST_F(FolderListingTest, UnreachableFoldersListNothing) {
    fs::create_directories(drive.Folder() / "a");
    for (const char* folder : {"c:\\missing\\", "c:\\..\\outside\\", "q:\\", "relative\\"}) {
        EXPECT_FALSE(ListSubfolders(folder)) << folder;
        EXPECT_FALSE(ListFiles(folder, "*.*", 1000)) << folder;
    }
    EXPECT_TRUE(ListSubfolders("c:\\A\\")) << "a folder's case does not matter";
}

}  // namespace
}  // namespace vantrel::platform
