#pragma once
// The unzip-side calls that the contents listing makes, gathered in one table so that the listing
// can be run against a stand-in library in tests. The listing takes no operation slot: it only
// reads the archive, and the library keeps its settings per thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "component/archive/ZipEntryRecord.h"

namespace vantrel {

// What the record cannot hold: the entry's whole name and its 64-bit sizes.
struct FullEntry {
    std::string name;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
};

struct ListingCalls {
    std::function<int32_t()> reset;
    std::function<int32_t(const std::string& archive)> zipName;
    std::function<int32_t(int32_t action, int32_t flags)> execute;
    // Fills record with the next entry and full with what the record cannot hold; full stays
    // empty when the library cannot tell. 0, or a status code.
    std::function<int32_t(ZipEntryRecord& record, std::optional<FullEntry>& full)> getNext;
};

// The calls the listing uses: the stand-in set by a test, else the zip library's. Binding the
// library may throw; the listing reports that as its error.
ListingCalls CurrentListingCalls();

// Tests only: use these calls instead of the library's until reset with nullopt.
void UseListingCallsForTests(std::optional<ListingCalls> calls);

}  // namespace vantrel
