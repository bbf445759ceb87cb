// Entries that share bytes with each other or with the central directory: the overlap bombs,
// directories that point anywhere, and the ordinary archives that must pass (what libzip and
// Info-ZIP write plainly is read in the tests through the C interface).
#include "platform/ziplib/EntrySpanCheck.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

using Fault = SpanFault;

// Bytes of entries a, b, c stored, as the base of the damaged archives below.
struct ThreeStored {
    RawArchive archive;
    std::vector<RawEntry> entries;
    explicit ThreeStored(std::string_view prefix = {}) {
        archive.Append(prefix);
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            entries.push_back(archive.AddLocal({.name = name}, std::string(100, name[0])));
        }
    }
    std::string With(const std::function<void(std::vector<RawEntry>&)>& change) {
        std::vector<RawEntry> changed = entries;
        change(changed);
        return archive.Finish(changed);
    }
};

std::string Patched(std::string bytes, size_t at, std::string_view with) {
    return bytes.replace(at, with.size(), with);
}

class EntrySpans : public ::testing::Test {
  protected:
    // The check through a descriptor, and through memory, which must agree.
    SpanCheck Check(const std::string& bytes) {
        fs::path path = drive.Path("check.zip");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        SpanCheck check = CheckEntrySpans(DescriptorReader(fd));
        ::close(fd);
        auto data = reinterpret_cast<const uint8_t*>(bytes.data());
        SpanCheck inMemory = CheckEntrySpans(MemoryReader({data, bytes.size()}));
        EXPECT_EQ(inMemory.fault, check.fault);
        EXPECT_EQ(inMemory.index, check.index);
        return check;
    }
    // An archive Info-ZIP writes of two files by the shell command (run in a folder holding
    // f1.txt and f2.txt, writing out.zip); empty when zip is missing.
    std::string InfoZip(const std::string& command) {
        if (!Installed("zip")) {
            return {};
        }
        drive.Put("iz/f1.txt", std::string(3000, '1'));
        drive.Put("iz/f2.txt", "two");
        fs::remove(drive.Path("iz/out.zip"));
        std::string shell = "cd '" + drive.Path("iz").string() + "' && " + command;
        EXPECT_EQ(std::system(shell.c_str()), 0) << command;
        return drive.Read("iz/out.zip");
    }

    TestDrive drive;
};

struct Row {
    const char* what;
    std::string bytes;
    Fault fault;
    uint64_t index = 0;
    const char* name = "";
    uint64_t otherIndex = 0;
    uint64_t start = 0;  // the data in front of the archive
};

TEST_F(EntrySpans, TellsTheFirstEntryThatDoesNotOwnItsBytes) {
    ThreeStored three;
    ThreeStored stubbed(std::string(700, '#'));
    uint64_t directory = three.archive.Size();
    RawArchive nested;  // a stored entry whose data holds the whole next entry
    RawEntry inner{.name = "inner", .crc = Crc("abc"), .compressedSize = 3, .size = 3};
    RawEntry outer = nested.AddLocal({.name = "outer"}, "12345" + LocalHeader(inner) + "abc");
    inner.offset = outer.offset + 35 + 5;
    RawArchive descriptors;  // entries packed tight behind descriptors of each width
    std::vector<RawEntry> described = {
        descriptors.AddLocal({.name = "signed", .flags = 8}, "one"),
        descriptors.AddLocal({.name = "unsigned", .flags = 8}, "two", false),
        descriptors.AddLocal({.name = "wide", .flags = 8, .zip64 = true}, "three", false),
        descriptors.AddLocal({.name = "wide-signed", .flags = 8, .zip64 = true}, "four")};
    RawArchive holdsEmpty;  // whose end record lies in the tail beside the real one
    std::vector<RawEntry> held = {
        holdsEmpty.AddLocal({.name = "a.txt"}, "text"),
        holdsEmpty.AddLocal({.name = "empty.zip"}, EndRecords(0, 0, 0, false))};
    std::string longName = three.With([](auto&) {});
    // The last local header claims a name longer than the rest of the file.
    longName = Patched(longName, three.entries[2].offset + 26, "\xFF\xFF");

    std::vector<Row> rows = {
        {"Info-ZIP to a pipe: descriptors",
         InfoZip("cat f1.txt | zip -q - f2.txt - | cat > out.zip"), Fault::None},
        {"Info-ZIP forced zip64", InfoZip("zip -q -fz out.zip f1.txt f2.txt"), Fault::None},
        {"Info-ZIP self-extractor",
         InfoZip("zip -q i.zip f1.txt && cat f2.txt i.zip > out.zip && zip -qA out.zip"),
         Fault::None},
        {"stored entries", three.With([](auto&) {}), Fault::None},
        {"descriptors of every width", descriptors.Finish(described), Fault::None},
        {"stub with offsets adjusted", stubbed.With([](auto&) {}), Fault::None},
        {"zip64 records on small entries", three.With([](auto& e) {
             for (auto& entry : e) entry.zip64 = true;
         }),
         Fault::None},
        {"empty archive", EndRecords(0, 0, 0, false), Fault::None},
        {"full overlap bomb", FullOverlapBomb(10, 1 << 16), Fault::Overlap, 1, "1", 0},
        {"quoted overlap bomb", QuotedOverlapBomb(10, 1 << 16), Fault::Overlap, 1, "1", 0},
        {"two entries on one local header", three.With([](auto& e) { e[2].offset = e[0].offset; }),
         Fault::Overlap, 2, "c.txt", 0},
        {"an entry inside a stored entry's data", nested.Finish({outer, inner}), Fault::Overlap, 1,
         "inner", 0},
        {"listed out of file order",
         three.With([](auto& e) { std::swap(e[0].offset, e[1].offset); }), Fault::None},
        {"an entry in the central directory", three.With([&](auto& e) { e[1].offset = directory; }),
         Fault::IntoDirectory, 1, "b.txt"},
        {"data running into the central directory",
         three.With([](auto& e) { e[2].compressedSize += 1; }), Fault::IntoDirectory, 2, "c.txt"},
        {"zip64 size beyond 32 bits", three.With([](auto& e) {
             e[0].zip64 = true;
             e[0].compressedSize += uint64_t{1} << 32;
         }),
         Fault::IntoDirectory, 0, "a.txt"},
        {"no local header where stated", three.With([](auto& e) { e[1].offset += 1; }),
         Fault::BrokenHeader, 1, "b.txt"},
        {"local name past the end of the file", longName, Fault::BrokenHeader, 2, "c.txt"},
        {"stub with offsets not adjusted", std::string(700, '#') + three.With([](auto&) {}),
         Fault::None, 0, "", 0, 700},
        {"stub with zip64 offsets not adjusted",
         std::string(700, '#') + three.archive.Finish(three.entries, true), Fault::None, 0, "", 0,
         700},
        {"a zip64 locator's lookalike ending the last entry's comment", three.With([](auto& e) {
             e[2].comment = "note" + std::string("PK\x06\x07", 4) + std::string(16, '\x01');
         }),
         Fault::None},
        {"second end record in the comment: two entries of three",
         three.archive.Finish(three.entries, false, EndRecords(2, directory, 2 * 51, false)),
         Fault::Ambiguous},
        {"an empty archive stored as the last entry", holdsEmpty.Finish(held), Fault::None},
        {"a damaged directory record",
         Patched(three.With([](auto&) {}), directory + 46 + 5, "XXXX"), Fault::Unreadable},
        {"not an archive", std::string(5000, 'z'), Fault::Unreadable},
    };
    for (const Row& row : rows) {
        if (row.bytes.empty()) {
            continue;  // Info-ZIP is not installed
        }
        SpanCheck check = Check(row.bytes);
        EXPECT_EQ(check.fault, row.fault) << row.what;
        if (row.fault != Fault::None && row.fault != Fault::Unreadable &&
            row.fault != Fault::Ambiguous) {
            EXPECT_EQ(check.index, row.index) << row.what;
            EXPECT_EQ(check.name, row.name) << row.what;
        }
        if (row.fault == Fault::Overlap) {
            EXPECT_EQ(check.otherIndex, row.otherIndex) << row.what;
        }
        EXPECT_EQ(check.layout.start, row.start) << row.what;
    }
}

// The check's speed is the listing benchmark's business; here only that the last of many is
// found, beyond the 65,536 that the end record's count wraps at.
TEST_F(EntrySpans, FindsTheOverlapAtTheLastOfManyEntriesBeyondTheWrappedCount) {
    RawArchive archive;
    std::string central;
    for (int i = 0; i <= 65536; ++i) {
        RawEntry entry = archive.AddLocal({.name = std::to_string(i)}, "");
        entry.offset = i == 65536 ? 0 : entry.offset;  // the last one shares the first one's header
        central += CentralRecord(entry);
    }
    SpanCheck check =
        Check(archive.Bytes() + central + EndRecords(1, archive.Size(), central.size(), false));
    EXPECT_EQ(check.entries, 65537u);
    EXPECT_EQ(check.fault, Fault::Overlap);
    EXPECT_EQ(check.index, 65536u);
}

TEST_F(EntrySpans, AnArchiveThatShrinksUnderTheCheckIsRefusedNotFatal) {
    std::string bytes = FullOverlapBomb(1, 1 << 20);
    drive.Put("shrinks.zip", bytes);
    int fd = ::open(drive.Path("shrinks.zip").c_str(), O_RDWR | O_CLOEXEC);
    DescriptorReader reader(fd);
    ASSERT_EQ(ftruncate(fd, 100), 0);
    EXPECT_EQ(CheckEntrySpans(reader).fault, Fault::Unreadable);
    ::close(fd);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
