// Archives built to exhaust the server: an entry that lies about its size, entries that share
// their bytes, a small archive of a great many zeros.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

using Heards = std::vector<std::pair<int32_t, std::string>>;

bool IsEmptyFolder(const fs::path& folder) {
    return !fs::exists(folder) || fs::is_empty(folder);
}

TEST(ArchiveBombs, AnEntryThatInflatesPastItsDeclaredSizeIsDamagedAndLeavesNothing) {
    TestDrive drive;
    drive.Put("lie.zip", LyingSizeArchive(1024, 1 << 20));
    Heard told;
    EXPECT_EQ((UnzipCall{.archive = "c:\\lie.zip", .heard = &told}.Run()), -3);
    EXPECT_EQ(told.leftOut, (Heards{{-3, "lie.bin"}}));
    EXPECT_TRUE(IsEmptyFolder(drive.Path("out")));
    EXPECT_EQ(TestArchive("c:\\lie.zip"), -3);
}

TEST(ArchiveBombs, EntriesThatShareTheirBytesAreRefusedInListTestAndExtraction) {
    TestDrive drive;
    for (const std::string& bomb : {FullOverlapBomb(50, 1 << 20), QuotedOverlapBomb(50, 1 << 20)}) {
        drive.Put("bomb.zip", bomb);
        int32_t listed = 0;
        EXPECT_TRUE(ListEntries("c:\\bomb.zip", &listed).empty());
        EXPECT_EQ(listed, -51);
        EXPECT_EQ(TestArchive("c:\\bomb.zip"), -51);
        EXPECT_EQ((UnzipCall{.archive = "c:\\bomb.zip"}.Run()), -51);
        EXPECT_TRUE(IsEmptyFolder(drive.Path("out")));
    }
}

TEST(ArchiveBombs, ExtractionStopsBeforeTheDiskFallsBelowItsReserve) {
    TestDrive drive;
    RawArchive archive;
    RawEntry entry{.name = "zeros.bin", .size = 64 << 20, .method = 8};
    std::string data = DeflatedZeros(entry.size, &entry.crc);
    RawEntry small{.name = "small.txt"};
    std::vector<RawEntry> entries{archive.AddLocal(entry, data)};
    entries.push_back(archive.AddLocal(small, "after"));
    drive.Put("zeros.zip", archive.Finish(entries));
    struct statvfs space {};
    ASSERT_EQ(::statvfs(drive.Folder().c_str(), &space), 0);
    uint64_t available = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
    ::setenv("VANTREL_MIN_FREE_SPACE", std::to_string(available - (8 << 20)).c_str(), 1);
    Heard told;
    int32_t code = UnzipCall{.archive = "c:\\zeros.zip", .heard = &told}.Run();
    ::unsetenv("VANTREL_MIN_FREE_SPACE");
    EXPECT_EQ(code, -50);
    EXPECT_EQ(told.leftOut, (Heards{{-50, "zeros.bin"}}));
    EXPECT_TRUE(IsEmptyFolder(drive.Path("out"))) << "the partial file is removed";
}

}  // namespace
}  // namespace vantrel::ziplib::testing
