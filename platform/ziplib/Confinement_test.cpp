// The library as an attacker meets it: links inside allowed folders, folders swapped for links
// while a call runs, an archive that holds an entry with its own name, files it cannot read.
#include <gtest/gtest.h>
#include <sys/syscall.h>

#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

using platform::testing::ForAWhile;
using platform::testing::Swapper;

using Heards = std::vector<std::pair<int32_t, std::string>>;

// The file rights of the unprivileged account "nobody" for this thread, while the object lives,
// when the tests run as root (whose rights no permission bit limits).
class AsNobody {
  public:
    AsNobody() : switched_(::geteuid() == 0) {
        if (switched_) {
            ::syscall(SYS_setfsgid, 65534);
            ::syscall(SYS_setfsuid, 65534);
        }
    }
    ~AsNobody() {
        if (switched_) {
            ::syscall(SYS_setfsuid, 0);
            ::syscall(SYS_setfsgid, 0);
        }
    }

  private:
    bool switched_;
};

class Confinement : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("wwwroot/page.htm", "page");
        drive.Put("windows/secret.txt", "SECRET");
        drive.Link("wwwroot/link", "../windows");
        heard.refuse = "\\windows\\";
    }
    TestDrive drive;
    Heard heard;
};

TEST_F(Confinement, ALinkIsJudgedWhereItLeads) {
    ZipCall zip{.list = "c:\\wwwroot\\link\\secret.txt", .heard = &heard};
    EXPECT_EQ(zip.Run(), -152);
    EXPECT_EQ(heard.asked, (std::vector<std::string>{"c:\\test.zip", "c:\\windows\\secret.txt"}));
    EXPECT_FALSE(drive.Exists("test.zip"));

    // Walking a folder never follows its links: the link above, links to a file and a folder
    // off the drive are left alone; named, a link off the drive is refused.
    std::ofstream(drive.Outside() / "secret.txt") << "secret";
    drive.Link("wwwroot/away.txt", drive.Outside() / "secret.txt");
    drive.Link("wwwroot/awaydir", drive.Outside());
    EXPECT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\wwwroot\\*.*", .heard = &heard}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), std::vector<std::string>{"page.htm"});
    EXPECT_EQ((ZipCall{.list = "c:\\wwwroot\\away.txt"}.Run()), -152);

    UnzipCall unzip{.target = "c:\\wwwroot\\link\\", .heard = &heard};
    EXPECT_EQ(unzip.Run(), -152);
    EXPECT_EQ(heard.asked.back(), "c:\\windows\\");
    EXPECT_FALSE(drive.Exists("windows/page.htm"));
}

TEST_F(Confinement, RefusedPlacesAreLeftOutAndTheRestDone) {
    drive.Put("wwwroot/windows/inner.txt", "excluded by its path");
    EXPECT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\wwwroot\\*.*", .heard = &heard}.Run()),
              -152);
    EXPECT_EQ(EntryNames("c:\\test.zip"), std::vector<std::string>{"page.htm"});

    Craft(drive.Path("mixed.zip"), {{"ok.txt", "fine"}, {"windows/new.txt", "refused"}});
    EXPECT_EQ((UnzipCall{.archive = "c:\\mixed.zip", .heard = &heard}.Run()), -152);
    EXPECT_EQ(drive.Read("out/ok.txt"), "fine");
    EXPECT_FALSE(drive.Exists("out/windows/new.txt"));
}

TEST_F(Confinement, AFolderSwappedForALinkDuringExtractionNeverLetsAWriteOut) {
    drive.Put("race/dir/keep.txt", "");
    drive.Link("race/out", drive.Outside());
    Craft(drive.Path("payload.zip"), {{"written.txt", "x"}});
    Swapper swapper(drive.Path("race/dir"), {drive.Path("race/out")});
    int extracted = 0;
    ForAWhile([&] {
        extracted +=
            UnzipCall{.archive = "c:\\payload.zip", .target = "c:\\race\\dir\\"}.Run() == 0;
    });
    EXPECT_GT(extracted, 0);
    EXPECT_FALSE(fs::exists(drive.Outside() / "written.txt"));
}

TEST_F(Confinement, AFileSwappedForALinkDuringAZipNeverBringsItsTargetIn) {
    drive.Put("race/dir/f.txt", "inside");
    fs::create_directories(drive.Outside() / "dir");
    std::ofstream(drive.Outside() / "dir" / "f.txt") << "SECRET";
    drive.Link("race/out", drive.Outside() / "dir");
    Swapper swapper(drive.Path("race/dir"), {drive.Path("race/out")});
    ForAWhile([&] {
        fs::remove(drive.Path("test.zip"));
        if (ZipCall{.level = 0, .list = "c:\\race\\dir\\f.txt"}.Run() == 0) {
            ASSERT_EQ(drive.Read("test.zip").find("SECRET"), std::string::npos);
        }
    });
}

TEST_F(Confinement, ExtractionNeverWritesOverTheArchiveItReads) {
    drive.Put("x/self.zip", "");
    Craft(drive.Path("x/self.zip"), {{"self.zip", "replacement"}, {"other.txt", "fine"}});
    std::string before = drive.Read("x/self.zip");
    Heard told;
    EXPECT_EQ((UnzipCall{.archive = "c:\\x\\self.zip", .target = "c:\\x", .heard = &told}.Run()),
              -152);
    EXPECT_EQ(drive.Read("x/self.zip"), before);
    EXPECT_EQ(drive.Read("x/other.txt"), "fine");
    EXPECT_EQ(told.leftOut, (Heards{{-152, "self.zip"}}));
}

// A file or folder it cannot read is named with the file system's reason, the rest is zipped, the
// call fails, and a move deletes no original; so does one with a file the check refuses.
TEST_F(Confinement, EveryFileAZipCannotReadOrNameIsNamedAndNothingIsMoved) {
    drive.Put("src/open.txt", "open");
    drive.Put("src/closed.txt", "closed");
    drive.Put("src/locked/inside.txt", "inside");
    fs::permissions(drive.Path("src/closed.txt"), fs::perms::owner_read);
    fs::permissions(drive.Path("src/locked"), fs::perms::none);
    fs::permissions(drive.Folder(), fs::perms::all);     // where nobody may write the archive
    fs::permissions(drive.Path("src"), fs::perms::all);  // and delete the originals
    drive.Put("src/back\\slash.txt", "a name no Windows path carries");
    Heard told;
    {
        AsNobody unprivileged;
        ZipCall move{.archive = "c:\\src.zip",
                     .flags = kRecurse | LSZIP_FLAG_MOVE,
                     .list = "c:\\src\\*.*",
                     .heard = &told};
        EXPECT_EQ(move.Run(), -152);
    }
    fs::permissions(drive.Path("src/locked"), fs::perms::owner_all);
    EXPECT_EQ(EntryNames("c:\\src.zip"), (Names{"locked/", "open.txt"}));
    EXPECT_EQ(told.leftOut, (Heards{{-152, "c:\\src\\back\\slash.txt"},
                                    {-9, "c:\\src\\closed.txt"},
                                    {-9, "c:\\src\\locked\\"}}));
    EXPECT_EQ(told.reasons, (std::vector<int>{0, EACCES, EACCES}));
    EXPECT_TRUE(drive.Exists("src/open.txt"));

    ZipCall excluded{.archive = "c:\\moved.zip",
                     .flags = LSZIP_FLAG_BASE | LSZIP_FLAG_MOVE,
                     .list = "c:\\wwwroot\\page.htm|c:\\windows\\secret.txt",
                     .heard = &heard};
    EXPECT_EQ(excluded.Run(), -152);
    EXPECT_EQ(EntryNames("c:\\moved.zip"), (Names{"page.htm"}));
    EXPECT_TRUE(drive.Exists("wwwroot/page.htm"));
}

TEST_F(Confinement, AFolderDeeperThanTheSystemsPathLimitIsZippedWhole) {
    std::string relative = "deep";
    for (int i = 0; i < 50; ++i) {
        relative += "/" + std::string(100, 'd');
    }
    int folder = ::open(drive.Folder().c_str(), O_PATH | O_DIRECTORY);
    for (const auto& segment : fs::path(relative)) {
        ::mkdirat(folder, segment.c_str(), 0755);
        int next = ::openat(folder, segment.c_str(), O_PATH | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    int file = ::openat(folder, "bottom.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(folder);
    EXPECT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\deep\\*.txt"}.Run()), 0);
    auto names = EntryNames("c:\\test.zip");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_GT(names[0].size(), 5000u);
}

// A zip's count is in the host's audit log.
TEST_F(Confinement, CountsTheBytesAnUnzipReadAndWrote) {
    drive.Put("src/a.txt", std::string(1000, 'a'));
    drive.Put("src/b.txt", std::string(234, 'b'));
    ASSERT_EQ((ZipCall{.level = 0, .list = "c:\\src\\*.*"}.Run()), 0);
    ASSERT_EQ((UnzipCall{}.Run()), 0);
    int64_t read = 0, written = 0;
    LSUZ_GETBYTES(&read, &written);
    EXPECT_EQ(written, 1234);
    EXPECT_EQ(read, 1234);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
