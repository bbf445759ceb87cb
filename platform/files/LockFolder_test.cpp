#include "platform/files/LockFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "platform/files/TestDrive.h"

namespace vantrel::platform {
namespace {
namespace fs = std::filesystem;

constexpr uid_t kOtherAccount = 65534;  // nobody

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The host's queue folder is made 0700 and never through a link; one already there is used only
// when it is the account's own and closed to others, and is never changed.
TEST(LockFolderTest, MakesAQueueFolderOfItsOwnOrRefuses) {
    testing::TestDrive drive;
    fs::path parent = drive.Outside();
    fs::create_directories(drive.Folder() / "victim");
    fs::permissions(drive.Folder() / "victim", fs::perms::owner_all);
    bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> plant;
        bool made;
    } cases[] = {
        {"fresh", [](auto&) {}, true},
        {"link", [&](auto& at) { fs::create_symlink(drive.Folder() / "victim", at); }, false},
        {"open",
         [](auto& at) {
             fs::create_directory(at);
             fs::permissions(at, fs::perms::all);
         },
         false},
        {"foreign",
         [&](auto& at) {
             fs::create_directory(at);
             fs::permissions(at, fs::perms::owner_all);
             if (root) {
                 EXPECT_EQ(::chown(at.c_str(), kOtherAccount, kOtherAccount), 0);
             }
         },
         !root},
    };
    for (const auto& c : cases) {
        fs::path at = parent / c.name;
        c.plant(at);
        mode_t before = ModeOf(at);
        std::string error;
        EXPECT_EQ(LockFolder::Create(at, error).has_value(), c.made) << c.name << ": " << error;
        EXPECT_EQ(ModeOf(at), c.made ? 0700 : before) << c.name;
        EXPECT_EQ(c.made, error.empty()) << c.name;
    }
    EXPECT_EQ(ModeOf(drive.Folder() / "victim"), 0700u);
    EXPECT_TRUE(fs::is_empty(drive.Folder() / "victim"));
    std::string error;
    EXPECT_TRUE(LockFolder::Create(parent / "fresh", error)) << "made before: used again";
    fs::permissions(parent, fs::perms::all);
    EXPECT_FALSE(LockFolder::Create(parent / "fresh", error)) << "others may swap it";
    EXPECT_FALSE(LockFolder::Create("relative/queue", error));
}

// Only the account's own ordinary files count: links, folders and other accounts' files are
// neither listed, read, overwritten nor removed.
TEST(LockFolderTest, WorksWithItsOwnOrdinaryFilesOnly) {
    testing::TestDrive drive;
    fs::path queue = drive.Outside() / "queue";
    std::string error;
    auto folder = LockFolder::Create(queue, error);
    ASSERT_TRUE(folder) << error;
    drive.Put("precious.txt", "keep");
    std::ofstream(queue / "~SZ0100.~FB") << "mine";
    fs::create_directory(queue / "~sz2000.~fb");
    fs::create_symlink(drive.Path("precious.txt"), queue / "~sz2100.~fb");
    std::vector<std::string> others = {"~sz2000.~fb", "~sz2100.~fb"};
    if (::geteuid() == 0) {
        std::ofstream(queue / "~sz2200.~fb") << "theirs";
        ASSERT_EQ(::chown((queue / "~sz2200.~fb").c_str(), kOtherAccount, kOtherAccount), 0);
        others.push_back("~sz2200.~fb");
    }
    EXPECT_EQ(folder->Find("~sz*.~fb"), std::vector<std::string>{"~SZ0100.~FB"});
    for (const auto& name : others) {
        EXPECT_FALSE(folder->Read(name, 10)) << name;
        EXPECT_FALSE(folder->Write(name, "x")) << name;
        EXPECT_FALSE(folder->Remove(name)) << name;
        EXPECT_TRUE(fs::exists(fs::symlink_status(queue / name))) << name;
    }
    EXPECT_EQ(drive.Read("precious.txt"), "keep");
}

}  // namespace
}  // namespace vantrel::platform
