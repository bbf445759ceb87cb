#pragma once
// Test support: a stand-in for the unzip side of the zip library that lists entries given by the
// test, with the failures a test asks for, and records the calls it receives.

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "component/archive/LibraryCalls.h"

namespace vantrel::testing {

struct TestEntry {
    std::string name;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    std::string comment;
    uint16_t dosDate = 0x2791;
    uint16_t dosTime = 0x6C0F;
    uint16_t method = 8;
    uint16_t attributes = 0x20;
    uint16_t flags = 0;
    uint16_t ratio = 0;
};

class ListingTestLibrary {
  public:
    std::vector<TestEntry> entries;
    int32_t zipNameResult = 1;
    std::optional<int32_t> countResult;  // what execute returns instead of the entry count
    int failAtEntry = -1;                // getNext returns getNextFailure there
    int32_t getNextFailure = -51;
    bool giveFullEntries = true;  // as a library with the extended call does

    std::vector<std::string> calls;
    std::string archive;

    ListingTestLibrary() { UseUnzipSideCallsForTests(Calls()); }
    ~ListingTestLibrary() { UseUnzipSideCallsForTests(std::nullopt); }
    ListingTestLibrary(const ListingTestLibrary&) = delete;
    ListingTestLibrary& operator=(const ListingTestLibrary&) = delete;

  private:
    UnzipSideCalls Calls() {
        UnzipSideCalls c;
        c.reset = [this] {
            calls.push_back("reset");
            next_ = 0;
            return 1;
        };
        c.zipName = [this](const std::string& path) {
            calls.push_back("zipname");
            archive = path;
            return zipNameResult;
        };
        c.execute = [this](int32_t action, int32_t flags) {
            calls.push_back("execute " + std::to_string(action) + " " + std::to_string(flags));
            return countResult ? *countResult : static_cast<int32_t>(entries.size());
        };
        c.setWatch = [](ZipPathCheckFn, ZipMessageFn) { return 1; };
        c.getNext = [this](ZipEntryRecord& record, std::optional<FullEntry>& full) {
            calls.push_back("getnext");
            if (static_cast<int>(next_) == failAtEntry) {
                return getNextFailure;
            }
            if (next_ >= entries.size()) {
                return -164;
            }
            Fill(entries[next_++], record, full);
            return 0;
        };
        return c;
    }

    void Fill(const TestEntry& entry, ZipEntryRecord& record, std::optional<FullEntry>& full) {
        std::memset(&record, 0, sizeof record);
        std::strncpy(record.name, entry.name.c_str(), sizeof record.name - 1);
        std::strncpy(record.comment, entry.comment.c_str(), sizeof record.comment - 1);
        record.dosDate = entry.dosDate;
        record.dosTime = entry.dosTime;
        record.size = entry.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(entry.size);
        record.compressedSize = entry.compressedSize > 0xFFFFFFFFu
                                    ? 0xFFFFFFFFu
                                    : static_cast<uint32_t>(entry.compressedSize);
        record.method = entry.method;
        record.attributes = entry.attributes;
        record.flags = entry.flags;
        record.ratio = entry.ratio;
        if (giveFullEntries) {
            full = FullEntry{entry.name, entry.size, entry.compressedSize};
        }
    }

    size_t next_ = 0;
};

}  // namespace vantrel::testing
