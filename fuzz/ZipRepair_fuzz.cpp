// The repair scanner on an archive given as bytes: the raw readers stay inside the bytes, a central
// directory written for what they recovered reads back whole, and a repair through the C interface
// either leaves a readable archive or leaves the original exactly as it was, with no temporary
// file behind it; and an added file either leaves a listable archive with the data in front of the
// old one's entries kept, or changes nothing.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/files/TestDrive.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;

// Every local entry the whole-file scan would find, each checked against the bounds of the bytes.
std::vector<raw::LocalEntry> ScanLocalEntries(raw::Bytes file) {
    std::vector<raw::LocalEntry> entries;
    const uint8_t signature[4] = {0x50, 0x4b, 0x03, 0x04};
    uint64_t from = 0;
    while (from < file.size) {
        auto hit = static_cast<const uint8_t*>(
            memmem(file.data + from, file.size - from, signature, sizeof signature));
        if (!hit) {
            break;
        }
        uint64_t offset = static_cast<uint64_t>(hit - file.data);
        from = offset + 1;
        auto entry = raw::ReadLocalEntry(file, offset);
        if (!entry) {
            continue;
        }
        FUZZ_CHECK(entry->offset == offset);
        FUZZ_CHECK(entry->dataOffset <= entry->end && entry->end <= file.size);
        FUZZ_CHECK(entry->compressedSize <= entry->end - entry->dataOffset);
        if (raw::CheckEntryData(file, *entry) != raw::DataCheck::Bad) {
            from = entry->end;
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

// The entries copied one after the other with a central directory behind them, as a repair
// writes them: the directory must read back with one record per entry.
void CheckRebuiltDirectory(raw::Bytes file, const std::vector<raw::LocalEntry>& entries) {
    std::string rebuilt;
    std::vector<uint64_t> offsets;
    for (const auto& entry : entries) {
        offsets.push_back(rebuilt.size());
        rebuilt.append(reinterpret_cast<const char*>(file.data + entry.offset),
                       entry.end - entry.offset);
    }
    rebuilt += raw::BuildCentralDirectory(entries, offsets, rebuilt.size());
    raw::Bytes bytes{reinterpret_cast<const uint8_t*>(rebuilt.data()), rebuilt.size()};
    auto end = raw::FindEndRecord(bytes);
    FUZZ_CHECK(end.has_value());
    auto fields = raw::ReadCentralDirectory(bytes);
    FUZZ_CHECK(fields.has_value() && fields->size() == entries.size());
}

int32_t ListingCount(std::string archive) {
    LSUZ_RESET();
    LSUZ_ZIPNAME(archive.data());
    int32_t count = LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST);
    LSUZ_RESET();
    return count;
}

// A repair either succeeds with a readable archive in place, or changes nothing at all. The
// damaged original may stay beside a successful repair, whole.
void CheckRepair(const vantrel::platform::testing::TestDrive& drive, const uint8_t* data,
                 size_t size, int32_t flags) {
    drive.PutOnly("fuzz.zip", data, size);
    std::string original(reinterpret_cast<const char*>(data), size);
    std::string archive = "c:\\fuzz.zip";
    int32_t code = LSZIP_EXECUTE(archive.data(), LSZIP_REPAIR, 0, flags);
    std::vector<std::string> names = drive.Names();
    if (code != LSZIP_OK) {
        FUZZ_CHECK(names == std::vector<std::string>{"fuzz.zip"});
        FUZZ_CHECK(drive.Read("fuzz.zip") == original);
        return;
    }
    FUZZ_CHECK(ListingCount(archive) >= 0);
    for (const auto& name : names) {
        FUZZ_CHECK(name == "fuzz.zip" || name == "fuzz.zip.damaged");
    }
    if (names.size() == 2) {
        FUZZ_CHECK(drive.Read("fuzz.zip.damaged") == original);
    }
}

void CheckAdd(const vantrel::platform::testing::TestDrive& drive, const uint8_t* data,
              size_t size) {
    drive.PutOnly("fuzz.zip", data, size);
    drive.Put("new.txt", "new");
    std::string original(reinterpret_cast<const char*>(data), size);
    std::string archive = "c:\\fuzz.zip";
    std::string list = "c:\\new.txt";
    LSZIP_INCLUDE(list.data());
    if (LSZIP_EXECUTE(archive.data(), LSZIP_ADD, 1, LSZIP_FLAG_BASE) != LSZIP_OK) {
        FUZZ_CHECK((drive.Names() == std::vector<std::string>{"fuzz.zip", "new.txt"}));
        FUZZ_CHECK(drive.Read("fuzz.zip") == original);
        return;
    }
    FUZZ_CHECK(ListingCount(archive) > 0);
    SpanCheck old = CheckEntrySpans(MemoryReader({data, size}));
    uint64_t front = old.fault == SpanFault::None ? old.layout.firstEntry : 0;
    FUZZ_CHECK(drive.Read("fuzz.zip").compare(0, front, original, 0, front) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vantrel::platform::testing::TestDrive drive;
    raw::Bytes file{data, size};
    raw::FindEndRecord(file);
    raw::ReadCentralDirectory(file);
    CheckRebuiltDirectory(file, ScanLocalEntries(file));
    CheckRepair(drive, data, size, LSZIP_FLAG_BASE);
    CheckRepair(drive, data, size, LSZIP_FLAG_BASE | LSZIP_FLAG_HARDER_REPAIR);
    CheckAdd(drive, data, size);
    return 0;
}
