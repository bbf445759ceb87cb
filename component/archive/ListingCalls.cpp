#include "component/archive/ListingCalls.h"

#include <mutex>

#include "component/archive/Globals.h"

namespace vantrel {

namespace {

std::mutex testCallsMutex;
std::optional<ListingCalls> testCalls;

ListingCalls LibraryListingCalls() {
    ListingCalls calls;
    calls.reset = [] { return lszip::LSUZ_RESET(); };
    calls.zipName = [](const std::string& archive) {
        std::string copy = archive;
        return lszip::LSUZ_ZIPNAME(copy);
    };
    calls.execute = [](int32_t action, int32_t flags) {
        return lszip::LSUZ_EXECUTE(action, flags);
    };
    calls.getNext = [](ZipEntryRecord& record, std::optional<FullEntry>& full) {
        std::string name;
        int64_t size = 0, compressedSize = 0;
        int32_t result = lszip::LSUZ_GETNEXTEX(record, name, size, compressedSize);
        if (result == 0) {
            full = FullEntry{std::move(name), static_cast<uint64_t>(size),
                             static_cast<uint64_t>(compressedSize)};
        }
        return result;
    };
    return calls;
}

}  // namespace

ListingCalls CurrentListingCalls() {
    {
        std::lock_guard lock(testCallsMutex);
        if (testCalls) {
            return *testCalls;
        }
    }
    return LibraryListingCalls();
}

void UseListingCallsForTests(std::optional<ListingCalls> calls) {
    std::lock_guard lock(testCallsMutex);
    testCalls = std::move(calls);
}

}  // namespace vantrel
