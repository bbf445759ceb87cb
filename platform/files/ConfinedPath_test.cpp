#include "platform/files/ConfinedPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "platform/files/TestDrive.h"

namespace vantrel::platform {
namespace {

using testing::ForAWhile;
using testing::Swapper;
using testing::TestDrive;
namespace fs = std::filesystem;

std::string ReadAll(int fd) {
    std::string text;
    char buffer[256];
    ssize_t got;
    while ((got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

class ConfinedPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("data/a.txt", "inside a");
        drive.Put("data/Sub/b.txt", "inside b");
        drive.Put("Mixed/X.txt", "upper");
        drive.Put("Mixed/x.txt", "lower");
        drive.Put("Priv\xC3\xA9/\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1/x.txt", "unicode");
        std::ofstream(drive.Outside() / "secret.txt") << "SECRET";
        drive.Link("web/linkrel", "../data");
        drive.Link("web/linkabs", drive.Path("data"));
        drive.Link("web/out", "../../outside");
        drive.Link("web/outabs", drive.Outside());
        drive.Link("web/loop", "loop");
        ::mkfifo(drive.Path("web/fifo").c_str(), 0600);
    }
    TestDrive drive;
};

struct OpenCase {
    const char* path;
    PathIntent intent;
    PathStatus status;
    const char* realPath;  // and, for a file, what it holds is checked against the drive
};

TEST_F(ConfinedPathTest, ResolvesBeneathTheDriveAndReportsTheRealLocation) {
    using enum PathIntent;
    using S = PathStatus;
    const OpenCase cases[] = {
        {"c:\\data\\a.txt", File, S::Ok, "c:\\data\\a.txt"},
        {"C:\\DATA\\A.TXT", File, S::Ok, "c:\\data\\a.txt"},
        {"c:\\web\\linkrel\\a.txt", File, S::Ok, "c:\\data\\a.txt"},
        {"c:\\web\\linkabs\\sub\\b.txt", File, S::Ok, "c:\\data\\Sub\\b.txt"},
        {"c:\\web\\linkrel", FileOrFolder, S::Ok, "c:\\data\\"},
        {"c:\\", Folder, S::Ok, "c:\\"},
        {"c:\\Mixed\\x.txt", File, S::Ok, "c:\\Mixed\\x.txt"},
        {"c:\\mixed\\X.TXT", File, S::NotFound, ""},  // two names differ only in case
        {"c:\\PRIV\xC3\x89\\\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91\\X.TXT", File, S::Ok,
         "c:\\Priv\xC3\xA9\\\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1\\x.txt"},
        {"c:\\web\\out\\secret.txt", File, S::OutsideDrive, ""},
        {"c:\\web\\outabs\\secret.txt", File, S::OutsideDrive, ""},
        {"c:\\..\\outside\\secret.txt", File, S::OutsideDrive, ""},
        {"c:\\web\\loop\\x", File, S::Unusable, ""},
        {"c:\\web\\fifo", File, S::WrongKind, ""},
        {"c:\\data", File, S::WrongKind, ""},
        {"c:\\data\\a.txt", Folder, S::WrongKind, ""},
        {"c:\\data\\a.txt\\x", File, S::WrongKind, ""},
        {"c:\\data\\nothing\\new.txt", File, S::NotFound, ""},
        {"z:\\a.txt", File, S::NoDrive, ""},
        {"a.txt", File, S::NoDrive, ""},
    };
    for (const auto& c : cases) {
        ConfinedPath opened;
        EXPECT_EQ(ConfinedPath::Open(c.path, c.intent, opened), c.status) << c.path;
        if (c.status == PathStatus::Ok) {
            EXPECT_EQ(opened.RealPath(), c.realPath) << c.path;
        }
        if (c.status == PathStatus::Ok && !opened.IsFolder()) {
            std::string relative = std::string(c.realPath).substr(3);
            std::replace(relative.begin(), relative.end(), '\\', '/');
            EXPECT_EQ(ReadAll(opened.Fd()), drive.Read(relative)) << c.path;
        }
    }
}

TEST_F(ConfinedPathTest, NewFoldersAreCheckedWhereTheyWillReallyBeBeforeAnyIsMade) {
    std::vector<std::string> asked;
    auto refuse = [&](const std::string& real) {
        asked.push_back(real);
        return false;
    };
    ConfinedPath made;
    EXPECT_EQ(
        ConfinedPath::Open("c:\\web\\linkrel\\new\\deep", PathIntent::NewFolder, made, refuse),
        PathStatus::Refused);
    EXPECT_EQ(asked, std::vector<std::string>{"c:\\data\\new\\deep\\"});
    EXPECT_FALSE(drive.Exists("data/new"));

    ASSERT_EQ(ConfinedPath::Open("c:\\web\\linkrel\\new\\deep", PathIntent::NewFolder, made),
              PathStatus::Ok);
    EXPECT_EQ(made.RealPath(), "c:\\data\\new\\deep\\");
    EXPECT_TRUE(fs::is_directory(drive.Path("data/new/deep")));
    EXPECT_EQ(ConfinedPath::Open("c:\\web\\out\\new", PathIntent::NewFolder, made),
              PathStatus::OutsideDrive);
    EXPECT_FALSE(fs::exists(drive.Outside() / "new"));
}

TEST_F(ConfinedPathTest, ALeafLinkLeadsToTheFolderAndNameItNames) {
    drive.Link("web/backup.zip", "../data/Sub/real.zip");
    ConfinedLeaf leaf;
    ASSERT_EQ(ConfinedLeaf::Open("c:\\web\\backup.zip", leaf), PathStatus::Ok);
    EXPECT_EQ(leaf.realPath, "c:\\data\\Sub\\real.zip");
    EXPECT_EQ(leaf.name, "real.zip");
    EXPECT_FALSE(leaf.exists);
    EXPECT_EQ(leaf.folder.RealPath(), "c:\\data\\Sub\\");

    ASSERT_EQ(ConfinedLeaf::Open("c:\\DATA\\a.TXT", leaf), PathStatus::Ok);
    EXPECT_TRUE(leaf.exists);
    EXPECT_EQ(leaf.name, "a.txt");
    EXPECT_EQ(ConfinedLeaf::Open("c:\\data\\none\\x.zip", leaf), PathStatus::NotFound);
    EXPECT_EQ(ConfinedLeaf::Open("c:\\web\\out\\x.zip", leaf), PathStatus::OutsideDrive);
}

// The calling thread acts as another account while it lives, as a host's request thread does.
class ActingAs {
  public:
    explicit ActingAs(uid_t uid) { ::syscall(SYS_setfsuid, uid); }
    ~ActingAs() { ::syscall(SYS_setfsuid, 0); }
};

// In a sticky folder every account may write in, a link leads somewhere only when it is the acting
// account's or the folder owner's, as the kernel rules for its own links; a write never follows
// another account's link, wherever it lies (root's aside).
TEST_F(ConfinedPathTest, AnotherAccountsLinkIsFollowedOnlyAsTheKernelWouldAndNeverToWrite) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give links to other accounts";
    }
    constexpr uid_t kActing = 4242, kOther = 4343;
    const fs::perms shared = fs::perms::all | fs::perms::sticky_bit;
    for (auto [folder, owner, perms] : {std::tuple{"shared", 0u, shared},
                                        {"group", 0u, fs::perms::all},
                                        {"theirs", kOther, shared}}) {
        fs::create_directories(drive.Path(folder));
        fs::permissions(drive.Path(folder), perms);
        ASSERT_EQ(::chown(drive.Path(folder).c_str(), owner, 0), 0);
    }
    fs::permissions(drive.Path("data"), fs::perms::all);
    struct Case {
        const char* link;
        uid_t owner;
        bool read, write;
    };
    const Case cases[] = {
        {"shared/mine", kActing, true, true},  {"shared/other", kOther, false, false},
        {"shared/root", 0, true, true},        {"group/other", kOther, true, false},
        {"theirs/owner", kOther, true, false},
    };
    for (const auto& c : cases) {
        drive.Link(c.link, "../data");
        ASSERT_EQ(::lchown(drive.Path(c.link).c_str(), c.owner, 0), 0);
    }
    ActingAs acting(kActing);
    for (const auto& c : cases) {
        std::string path = std::string("c:\\") + c.link;
        path.replace(path.find('/'), 1, "\\");
        ConfinedPath opened;
        PathStatus read = ConfinedPath::Open(path + "\\a.txt", PathIntent::File, opened);
        EXPECT_EQ(read, c.read ? PathStatus::Ok : PathStatus::Denied) << c.link;
        ConfinedLeaf leaf;
        PathStatus archive = ConfinedLeaf::Open(path + "\\new.zip", leaf);
        PathStatus made = ConfinedPath::Open(path + "\\made", PathIntent::NewFolder, opened);
        for (PathStatus write : {archive, made}) {
            EXPECT_EQ(write, c.write ? PathStatus::Ok : PathStatus::Denied) << c.link;
        }
        EXPECT_EQ(ConfinedLeaf::Open(path + "\\a.txt", leaf, {}, PathUse::Read), read) << c.link;
    }
}

TEST_F(ConfinedPathTest, ChildrenAreNeverReachedThroughLinks) {
    ConfinedPath web;
    ASSERT_EQ(ConfinedPath::Open("c:\\web", PathIntent::Folder, web), PathStatus::Ok);
    ConfinedPath child;
    EXPECT_EQ(web.OpenChild("linkrel", PathIntent::Folder, child), PathStatus::WrongKind);
    EXPECT_EQ(web.OpenChild("out", PathIntent::File, child), PathStatus::WrongKind);
    EXPECT_EQ(web.OpenChild("fifo", PathIntent::File, child), PathStatus::WrongKind);
    EXPECT_EQ(web.OpenChild("..", PathIntent::Folder, child), PathStatus::Unusable);
}

// A second thread keeps swapping a real folder with a link that leads out of the drive (and with
// one into another folder of the drive) while the first opens a file below it: every open either
// fails or gives the file that lies at the location it reports.
TEST_F(ConfinedPathTest, SwappingAFolderForALinkNeverReachesAnywhereElse) {
    drive.Put("race/dir/f.txt", "inside");
    drive.Put("windows/f.txt", "excluded");
    std::ofstream(drive.Outside() / "f.txt") << "SECRET";
    drive.Link("race/out", "../../outside");
    drive.Link("race/win", "../windows");
    Swapper swapper(drive.Path("race/dir"), {drive.Path("race/out"), drive.Path("race/win")});
    int opened = 0;
    ForAWhile([&] {
        ConfinedPath file;
        if (ConfinedPath::Open("c:\\race\\dir\\f.txt", PathIntent::File, file) != PathStatus::Ok) {
            return;
        }
        ++opened;
        std::string text = ReadAll(file.Fd());
        ASSERT_NE(text, "SECRET");
        ASSERT_EQ(text, file.RealPath() == "c:\\windows\\f.txt" ? "excluded" : "inside")
            << file.RealPath();
    });
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace vantrel::platform
