#include <gtest/gtest.h>

#include "component/archive/ListingTestLibrary.h"
#include "component/core/Farbale.h"
#include "component/core/PageHarness.h"

namespace vantrel {

struct ListingTests;
template <>
struct FarbaleTestAccess<ListingTests> {
    struct Listing {
        bool ok = false;
        std::string list, summary;
        std::string written;  // what the listing wrote into the page itself
    };
    // list: what was written, followed by what the listing left for the page to write.
    static Listing List(const std::string& archive) {
        testing::CollectedRequest request;
        request.Bind();
        Farbale component;
        component.strQuote = "\"";
        component.strNewLine = "\r\n";
        Listing listing;
        std::string rest;
        listing.ok = component.ListZipFile(archive, rest, listing.summary);
        listing.written = request.output;
        listing.list = request.output + rest;
        return listing;
    }
    static std::string Details(const ZipEntryRecord& record, double& usum, double& csum) {
        return Farbale().EntryDetails("a.txt", record, usum, csum);
    }
};
using Access = FarbaleTestAccess<ListingTests>;

namespace {

using testing::ListingTestLibrary;
using testing::TestEntry;

ZipEntryRecord Record(uint16_t date, uint16_t time) {
    ZipEntryRecord record{};
    record.dosDate = date;
    record.dosTime = time;
    return record;
}

TEST(EntryDetails, ReadsTheModificationTimeInTheHostFormats) {
    struct Case {
        uint16_t date, time;
        const char* expected;
    } cases[] = {
        {0x2791, 0x6C0F, "Last Modified: 12/17/1999 at 1:32:30 PM"},
        // Day 0 of month 0 of 1980 rolls back to the last day of November 1979.
        {0x0000, 0x0000, "Last Modified: 11/30/1979 at 12:00:00 AM"},
        // February 31st rolls into March; month 13 into the next year.
        {(20 << 9) | (2 << 5) | 31, 0, "Last Modified: 3/2/2000 at 12:00:00 AM"},
        {(20 << 9) | (13 << 5) | 1, 0, "Last Modified: 1/1/2001 at 12:00:00 AM"},
        // Hour 25 and second 62 are past the day's end; only the time of day is shown.
        {0x2791, (25 << 11) | (59 << 5) | 31, "Last Modified: 12/17/1999 at 2:00:02 AM"},
        {(127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29,
         "Last Modified: 12/31/2107 at 11:59:58 PM"},
    };
    for (const Case& c : cases) {
        double usum = 0, csum = 0;
        std::string details = Access::Details(Record(c.date, c.time), usum, csum);
        EXPECT_NE(details.find(std::string(c.expected) + "|"), std::string::npos) << details;
    }
}

TEST(EntryDetails, WritesEveryLineInOrderAndAddsTheSizesToTheTotals) {
    ZipEntryRecord record = Record(0x2791, 0x6C0F);
    record.size = 12345678;
    record.compressedSize = 1234;
    record.ratio = 99;
    record.method = 8;
    record.attributes = 0x21;
    record.flags = 0x0009;
    std::strcpy(record.comment, "first draft");
    double usum = 10, csum = 5;
    EXPECT_EQ(Access::Details(record, usum, csum),
              "File Name: a.txt|Comment: first draft|Last Modified: 12/17/1999 at 1:32:30 PM|"
              "Attributes: Read-Only, Archive Set|Compressed Size: 1,234 bytes|"
              "Uncompressed Size: 12,345,678 bytes|Compression Ratio: 99%|"
              "Compression Method: Deflated|Options: Encrypted, Normal compression rate");
    EXPECT_EQ(usum, 12345688);
    EXPECT_EQ(csum, 1239);

    record.comment[0] = '\0';
    record.attributes = 0;
    std::string details = Access::Details(record, usum, csum);
    EXPECT_EQ(details.find("Comment:"), std::string::npos);
    EXPECT_NE(details.find("|Attributes: |"), std::string::npos);

    // A comment filling its whole field is read to the field's end.
    std::memset(record.comment, 'c', sizeof record.comment);
    EXPECT_NE(Access::Details(record, usum, csum).find("|Comment: " + std::string(128, 'c') + "|"),
              std::string::npos);
}

TEST(ZipListing, TheOverallRateIsTheShareSaved) {
    struct Case {
        uint64_t size, compressed;
        const char* rate;
    } cases[] = {{1000, 250, "75%"},
                 {3, 2, "33%"},
                 {1000, 1050, "-5%"},
                 {0, 0, "0%"},
                 {8, 7, "13%"}};  // 12.5 rounds away from zero
    for (const Case& c : cases) {
        ListingTestLibrary library;
        library.entries = {{"a.txt", c.size, c.compressed}};
        auto listing = Access::List("c:\\a.zip");
        ASSERT_TRUE(listing.ok);
        EXPECT_TRUE(listing.summary.ends_with(std::string("Overall Compression rate: ") + c.rate))
            << listing.summary;
    }
}

TEST(ZipListing, SizesBeyondFourGigabytesAreListedAndSummedExactly) {
    ListingTestLibrary library;
    library.entries = {{"disk.img", 5'000'000'123ull, 4'500'000'000ull},
                       {"b.txt", 3'000'000'000ull, 1000}};
    auto listing = Access::List("c:\\big.zip");
    ASSERT_TRUE(listing.ok);
    for (const char* text :
         {"Uncompressed Size: 5,000,000,123 bytes", "Compressed Size: 4,500,000,000 bytes",
          "Total uncompressed sizes: 8,000,000,123 bytes",
          "Total compressed size: 4,500,001,000 bytes"}) {
        EXPECT_NE((listing.list + listing.summary).find(text), std::string::npos) << text;
    }
}

TEST(ZipListing, WithoutTheFullEntriesTheRecordsFieldsServe) {
    ListingTestLibrary library;
    library.giveFullEntries = false;
    library.entries = {{"a.txt", 1000, 250}, {std::string(300, 'n'), 1, 1}};
    auto listing = Access::List("c:\\a.zip");
    ASSERT_TRUE(listing.ok);
    EXPECT_NE(listing.list.find("VALUE=\"a.txt\""), std::string::npos);
    // The record holds 254 bytes of the name; the entry is still listed.
    EXPECT_NE(listing.list.find("VALUE=\"" + std::string(254, 'n') + "\""), std::string::npos);
    EXPECT_TRUE(listing.summary.starts_with("Number of files: 2<BR>"));
}

TEST(ZipListing, LongNamesAreListedWhole) {
    ListingTestLibrary library;
    const std::string longName = "deep/" + std::string(400, 'x') + ".txt";
    library.entries = {{longName, 1, 1}, {"b.txt", 1, 1}};
    auto listing = Access::List("c:\\a.zip");
    ASSERT_TRUE(listing.ok);
    const std::string shown = "deep\\" + std::string(400, 'x') + ".txt";
    EXPECT_NE(listing.list.find("VALUE=\"" + shown + "\""), std::string::npos);
    EXPECT_NE(listing.list.find(">" + shown + "\r\n"), std::string::npos);
    EXPECT_NE(listing.list.find("VALUE=\"b.txt\""), std::string::npos);
}

TEST(ZipListing, HostileCommentsAreEscaped) {
    ListingTestLibrary library;
    TestEntry entry{"a.txt", 1, 1};
    entry.comment = "<img src=x onerror=alert(2)>";
    library.entries = {entry};
    auto listing = Access::List("c:\\a.zip");
    ASSERT_TRUE(listing.ok);
    EXPECT_EQ(listing.list.find("<img"), std::string::npos);
    EXPECT_NE(listing.list.find("Comment: &lt;img src=x onerror=alert(2)&gt;|"), std::string::npos);
}

// The lines go into the page while the entries are read: what is left for the page is less than
// one piece, whatever the number of entries.
TEST(ZipListing, WritesTheLinesWhileReading) {
    ListingTestLibrary library;
    for (int i = 0; i < 3000; ++i) {
        library.entries.push_back({"folder/entry " + std::to_string(i) + ".txt", 10, 5});
    }
    auto listing = Access::List("c:\\big.zip");
    ASSERT_TRUE(listing.ok);
    EXPECT_GT(listing.written.size(), 3 * 64 * 1024u);
    EXPECT_LT(listing.list.size() - listing.written.size(), 64 * 1024u);
    EXPECT_TRUE(listing.list.ends_with(">folder\\entry 2999.txt\r\n"));
}

TEST(ZipListing, AFailingArchiveGivesTheErrorAndNoSummary) {
    struct Case {
        const char* what;
        int32_t zipName;
        std::optional<int32_t> count;
        int failAt;
        const char* list;
    } cases[] = {
        {"refused name", 0, std::nullopt, -1, "<B>Error:</B> Failed to set name of zip archive."},
        {"negative count", 1, -2, -1, "<B>Error:</B> "},
        {"entry failure", 1, std::nullopt, 1, "<B>Error:</B> "},
    };
    for (const Case& c : cases) {
        ListingTestLibrary library;
        library.entries = {{"a.txt", 1, 1}, {"b.txt", 1, 1}};
        library.zipNameResult = c.zipName;
        library.countResult = c.count;
        library.failAtEntry = c.failAt;
        auto listing = Access::List("c:\\bad.zip");
        EXPECT_FALSE(listing.ok) << c.what;
        EXPECT_TRUE(listing.list.substr(listing.written.size()).starts_with(c.list))
            << c.what << ": " << listing.list;
        EXPECT_EQ(listing.summary, "") << c.what;
        // The unzip side is left reset, whatever the failure.
        EXPECT_EQ(library.calls.back(), "reset") << c.what;
    }
}

TEST(ZipListing, AMissingLibraryIsReportedAsTheListingsError) {
    // No stand-in: the binding of the real library is used; with the calls replaced by one that
    // throws, the listing reports the error's description.
    UnzipSideCalls throwing;
    throwing.reset = []() -> int32_t { throw std::runtime_error("Cannot load liblspuzipx.so"); };
    UseUnzipSideCallsForTests(throwing);
    auto listing = Access::List("c:\\a.zip");
    UseUnzipSideCallsForTests(std::nullopt);
    EXPECT_FALSE(listing.ok);
    EXPECT_EQ(listing.list, "<B>Error:</B> Cannot load liblspuzipx.so");
}

}  // namespace
}  // namespace vantrel
