// The zip side through its C interface: one declarative case per way of building an archive,
// then the behaviours that need more than one call.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <thread>

#include "platform/files/UniqueFd.h"
#include "platform/ziplib/ArchivePrefix.h"
#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/ZipTestSupport.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib::testing {
namespace {

struct ZipCase {
    const char* title;
    int32_t flags;  // added to LSZIP_FLAG_BASE
    const char* list;
    int32_t expected;
    Names entries;  // what the archive holds afterwards (none: no archive)
    const char* archive = "c:\\test.zip";
    int32_t level = 6;
    int32_t action = LSZIP_ADD;
};

// Test listings name a case by its title, not by its bytes.
void PrintTo(const ZipCase& c, std::ostream* out) {
    *out << c.title;
}

class ZipCases : public ::testing::TestWithParam<ZipCase> {};

TEST_P(ZipCases, BuildsTheExpectedArchive) {
    TestDrive drive;
    drive.Put("data/a.txt", "alpha alpha alpha");
    drive.Put("data/B.TXT", "bravo");
    drive.Put("data/c.log", "charlie");
    drive.Put("data/sub/d.txt", "delta");
    drive.Put("data/sub/deeper/e.txt", "echo");
    drive.Put("other/a.txt", "another alpha");
    const ZipCase& c = GetParam();
    ZipCall call{.archive = c.archive,
                 .action = c.action,
                 .level = c.level,
                 .flags = LSZIP_FLAG_BASE + c.flags,
                 .list = c.list};
    EXPECT_EQ(call.Run(), c.expected);
    Names names = EntryNames(c.archive);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.entries);
}

constexpr int32_t kFull = LSZIP_FLAG_FULL_PATHS, kRecurse = LSZIP_FLAG_RECURSE;
const char* const kTwoAs = "c:\\data\\a.txt|c:\\other\\a.txt";

const ZipCase kZipCases[] = {
    {"bare names from a pattern", 0, "c:\\data\\*.txt", 0, {"B.TXT", "a.txt"}},
    {"pattern with case ignored", 0, "c:\\DATA\\*.TxT", 0, {"B.TXT", "a.txt"}},
    {"every name", 0, "c:\\data\\*.*", 0, {"B.TXT", "a.txt", "c.log"}},
    {"a folder stands for its files", 0, "c:\\data", 0, {"B.TXT", "a.txt", "c.log"}},
    {"full paths joined by bars", kFull, kTwoAs, 0, {"data/a.txt", "other/a.txt"}},
    {"recursion keeps the path below the folder",
     kRecurse,
     "c:\\data\\*.txt",
     0,
     {"B.TXT", "a.txt", "sub/d.txt", "sub/deeper/e.txt"}},
    {"recursion with every name stores folders",
     kRecurse,
     "c:\\data\\sub\\*.*",
     0,
     {"d.txt", "deeper/", "deeper/e.txt"}},
    // With full paths, and two files under one name: see the browser.
    {"the same file twice is taken once", 0, "c:\\data\\a.txt|c:\\data\\a.txt", 0, {"a.txt"}},
    {"a named file that does not exist", 0, "c:\\data\\a.txt|c:\\data\\missing.txt", -1, {}},
    {"a pattern that finds nothing", 0, "c:\\data\\*.doc", -167, {}},
    {"an empty list", 0, "", -167, {}},
    {"a source outside every drive", 0, "d:\\data\\a.txt", -152, {}},
    {"a source climbing out of its drive", 0, "c:\\..\\outside\\x.txt", -152, {}},
    {"an archive outside every drive", 0, "c:\\data\\a.txt", -151, {}, "d:\\test.zip"},
    {"an archive in a missing folder", 0, "c:\\data\\a.txt", -169, {}, "c:\\nowhere\\t.zip"},
    {"encryption without a password", LSZIP_FLAG_ENCRYPT, "c:\\data\\a.txt", -61, {}},
    {"a level beyond 9", 0, "c:\\data\\a.txt", -11, {}, "c:\\test.zip", 10},
    {"freshen of a missing archive", 0, "c:\\data\\a.txt", -167, {}, "c:\\test.zip", 6, 4},
};

INSTANTIATE_TEST_SUITE_P(Library, ZipCases, ::testing::ValuesIn(kZipCases), [](const auto& info) {
    std::string name = info.param.title;
    std::replace_if(
        name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
    return name;
});

TEST(ZipSide, StoredAndDeflatedEntriesCarryTheirMethodAndDetails) {
    TestDrive drive;
    drive.Put("big.txt", std::string(10000, 'x'), 3600);
    ZipCall{.level = 0, .list = "c:\\big.txt"}.Run();
    auto stored = ListEntries("c:\\test.zip");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(+stored[0].record.method, 0);
    EXPECT_EQ(+stored[0].record.size, 10000u);
    EXPECT_EQ(+stored[0].record.ratio, 0);
    EXPECT_EQ(stored[0].record.attributes & 0xFF, 0x20);
    ZipCall{.level = 9, .list = "c:\\big.txt"}.Run();
    auto deflated = ListEntries("c:\\test.zip");
    ASSERT_EQ(deflated.size(), 1u);
    EXPECT_EQ(+deflated[0].record.method, 8);
    EXPECT_GT(+deflated[0].record.ratio, 95);
    EXPECT_EQ(deflated[0].record.flags & 0x6, 0x2);  // maximum compression
}

// Freshen and update as a user meets them are seen in the browser; here what it cannot see.
TEST(ZipSide, UpdateWithNothingNewerLeavesTheArchiveAndAnAddReplacesAnyway) {
    TestDrive drive;
    drive.Put("src/same.txt", "same", 7200);
    ZipCall{.list = "c:\\src\\*.*"}.Run();
    auto before = fs::last_write_time(drive.Path("test.zip"));
    drive.Put("src/same.txt", "changed but not newer", 7200);
    EXPECT_EQ((ZipCall{.action = LSZIP_UPDATE, .list = "c:\\src\\*.*"}.Run()), 0);
    EXPECT_EQ(fs::last_write_time(drive.Path("test.zip")), before);
    EXPECT_EQ(ListEntries("c:\\test.zip")[0].size, 4);

    // An add replaces an entry of the same name, newer or not, and never adds the archive itself.
    EXPECT_EQ((ZipCall{.list = "c:\\src\\same.txt"}.Run()), 0);
    EXPECT_EQ(ListEntries("c:\\test.zip")[0].size, 21);
    drive.Put("top.txt", "top");
    EXPECT_EQ((ZipCall{.list = "c:\\*.*"}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), (Names{"same.txt", "top.txt"}));
}

struct DeleteCase {
    const char* list;
    int32_t expected;
    Names gone;  // the entries deleted
};

void PrintTo(const DeleteCase& c, std::ostream* out) {
    *out << c.list;
}

const Names kAll = {"a.txt",     "b.log", "dir/",       "dir/x.txt",
                    "dir/y.bin", "dir2/", "dir2/z.txt", "with blank.txt"};

class DeleteCases : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteCases, DeletesMatchingEntries) {
    TestDrive drive;
    for (const auto& name : kAll) {
        if (name.back() != '/') {
            drive.Put("t/" + name, name);
        }
    }
    ASSERT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\t\\*.*"}.Run()), 0);
    ZipCall call{.action = LSZIP_DELETE, .list = GetParam().list};
    EXPECT_EQ(call.Run(), GetParam().expected);
    Names left;
    std::ranges::set_difference(kAll, GetParam().gone, std::back_inserter(left));
    Names names = EntryNames("c:\\test.zip");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, left);
}

INSTANTIATE_TEST_SUITE_P(
    Library, DeleteCases,
    ::testing::Values(DeleteCase{"a.txt", 0, {"a.txt"}},
                      DeleteCase{"A.TXT b.log", 0, {"a.txt", "b.log"}},
                      DeleteCase{"\"with blank.txt\"", 0, {"with blank.txt"}},
                      DeleteCase{"dir\\*.*", 0, {"dir/", "dir/x.txt", "dir/y.bin"}},
                      DeleteCase{"dir/*.bin", 0, {"dir/y.bin"}},
                      DeleteCase{
                          "*.txt", 0, {"a.txt", "dir/x.txt", "dir2/z.txt", "with blank.txt"}},
                      DeleteCase{"nothing.here", -168, {}}, DeleteCase{"", -168, {}},
                      DeleteCase{"\"unclosed", -163, {}}, DeleteCase{"*.*", 0, kAll}));

// A failed run moves nothing (a run that left a file out: see Confinement).
TEST(ZipSide, AnAbortLeavesTheArchiveAndTheSourcesAsTheyWere) {
    TestDrive drive;
    drive.Put("a.txt", "a");
    ZipCall{.list = "c:\\a.txt"}.Run();
    std::string before = drive.Read("test.zip");
    drive.Put("b.txt", "b");
    ZipCall call{
        .flags = LSZIP_FLAG_BASE | LSZIP_FLAG_MOVE, .list = "c:\\b.txt", .callback = StopAtOnce};
    EXPECT_EQ(call.Run(), -30);
    EXPECT_EQ(drive.Read("test.zip"), before);
    EXPECT_TRUE(drive.Exists("b.txt"));
    ZipCall deletion{.action = LSZIP_DELETE, .list = "*.*", .callback = StopAtOnce};
    EXPECT_EQ(deletion.Run(), -30);
    EXPECT_EQ(drive.Read("test.zip"), before);
}

// Data in front of an archive (a self-extractor's stub) stays through every change, whether or not
// the archive's offsets counted it; afterwards they count it, as a self-extractor's do.
TEST(ZipSide, ChangesKeepTheDataInFrontOfAnArchive) {
    TestDrive drive;
    drive.Put("a.txt", "alpha alpha alpha");
    drive.Put("b.txt", "bravo");
    drive.Put("new.txt", "new");
    ZipCall{.archive = "c:\\plain.zip", .list = "c:\\a.txt|c:\\b.txt"}.Run();
    const std::string stub = "#!/bin/sh\nexit 0\n" + std::string(100, '\0');
    RawArchive counted;
    counted.Append(stub);
    RawEntry a = counted.AddLocal({.name = "a.txt"}, "alpha alpha alpha");
    RawEntry b = counted.AddLocal({.name = "b.txt"}, "bravo");
    for (const std::string& before : {stub + drive.Read("plain.zip"), counted.Finish({a, b})}) {
        drive.Put("sfx.zip", before);
        ZipCall update{.archive = "c:\\sfx.zip", .action = LSZIP_UPDATE, .list = "c:\\new.txt"};
        EXPECT_EQ(update.Run(), 0);
        EXPECT_EQ(
            (ZipCall{.archive = "c:\\sfx.zip", .action = LSZIP_DELETE, .list = "a.txt"}.Run()), 0);
        EXPECT_EQ(drive.Read("sfx.zip").substr(0, stub.size()), stub);
        EXPECT_EQ(EntryNames("c:\\sfx.zip"), (Names{"b.txt", "new.txt"}));
        std::string path = drive.Path("sfx.zip").string();
        if (Installed("unzip")) {
            EXPECT_EQ(Shell("unzip -tq '" + path + "'"), 0);  // not even a warning
        }
        if (std::string sevenZip = SevenZip(); !sevenZip.empty()) {
            EXPECT_EQ(Shell(sevenZip + " t '" + path + "'"), 0);
        }
    }
    // Without entries the archive goes, not the stub: an empty archive stays behind it.
    EXPECT_EQ((ZipCall{.archive = "c:\\sfx.zip", .action = LSZIP_DELETE, .list = "*.*"}.Run()), 0);
    EXPECT_EQ(drive.Read("sfx.zip"), stub + EndRecords(0, 0, 0, false));
}

// Behind 4 GiB of data (a hole here), the offsets need the zip64 fields.
TEST(ZipSide, OffsetsBeyondFourGigabytesMoveIntoZip64Fields) {
    TestDrive drive;
    drive.Put("a.txt", "alpha alpha alpha");
    drive.Put("b.txt", std::string(5000, 'b'));
    ZipCall{.archive = "c:\\plain.zip", .list = "c:\\a.txt|c:\\b.txt"}.Run();
    std::string plain = drive.Read("plain.zip");
    constexpr uint64_t kFront = (uint64_t{1} << 32) + 1000;
    platform::UniqueFd far(::open(drive.Path("far.zip").c_str(), O_RDWR | O_CREAT, 0644));
    ASSERT_EQ(::pwrite(far.Get(), plain.data(), plain.size(), kFront), ssize_t(plain.size()));
    ASSERT_TRUE(CountOffsetsFromFileStart(far.Get(), kFront, plain.size()));
    EXPECT_EQ(TestArchive("c:\\far.zip"), 0);
    if (Installed("unzip")) {  // 7-Zip looks for no archive this far behind the file's start
        EXPECT_EQ(Shell("unzip -tq '" + drive.Path("far.zip").string() + "'"), 0);
    }
}

// What a killed writer left beside the archive goes with the next change there; what a living
// process (this one) is writing stays.
TEST(ZipSide, TheTemporaryFilesOfADeadWriterGoWithTheNextChangeInTheirFolder) {
    TestDrive drive;
    drive.Put("a.txt", "a");
    pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    std::string dead = ".lsz-" + std::to_string(child) + "-0.tmp";
    std::string alive = ".lsz-" + std::to_string(::getpid()) + "-999999.tmp";
    drive.Put(dead, "half an archive");
    drive.Put(alive, "an archive being written");
    EXPECT_EQ((ZipCall{.list = "c:\\a.txt"}.Run()), 0);
    EXPECT_FALSE(drive.Exists(dead));
    EXPECT_TRUE(drive.Exists(alive));
}

TEST(ZipSide, SettingsBelongToTheThreadThatMadeThem) {
    TestDrive drive;
    drive.Put("a.txt", "a");
    std::string list = "c:\\a.txt";
    LSZIP_INCLUDE(Text(list));
    int32_t otherThread = 0;
    std::thread([&] {
        std::string archive = "c:\\other.zip";
        otherThread = LSZIP_EXECUTE(Text(archive), LSZIP_ADD, 6, LSZIP_FLAG_BASE);
    }).join();
    EXPECT_EQ(otherThread, -167);  // the other thread has no list
    std::string archive = "c:\\mine.zip";
    EXPECT_EQ(LSZIP_EXECUTE(Text(archive), LSZIP_ADD, 6, LSZIP_FLAG_BASE), 0);
}

TEST(ZipSide, ChangesOfOneArchiveAtTheSameTimeKeepEveryEntry) {
    TestDrive drive;
    constexpr int kWriters = 4, kRounds = 5;
    for (int w = 0; w < kWriters; ++w) {
        for (int r = 0; r < kRounds; ++r) {
            drive.Put("w" + std::to_string(w) + "/f" + std::to_string(r) + ".txt",
                      std::string(20000, static_cast<char>('a' + w)));
        }
    }
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([w] {
            for (int r = 0; r < kRounds; ++r) {
                std::string folder = "c:\\w" + std::to_string(w) + "\\f" + std::to_string(r);
                ZipCall call{.flags = LSZIP_FLAG_BASE + LSZIP_FLAG_FULL_PATHS,
                             .list = folder + ".txt"};
                EXPECT_EQ(call.Run(), 0);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(EntryNames("c:\\test.zip").size(), static_cast<size_t>(kWriters * kRounds));
}

}  // namespace
}  // namespace vantrel::ziplib::testing
