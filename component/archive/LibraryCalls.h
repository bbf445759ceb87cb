#pragma once
// The zip library calls that the operations and the contents listing make, gathered in two tables
// (one per side of the library) so that they can run against a stand-in library in tests. Texts are
// passed as strings, and reach the library by the rule of ZipLibrary.h.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "component/archive/OperationHooks.h"
#include "component/archive/ZipProgress.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

// What a repair did: the entries of the archive it wrote (-1: it wrote none), the entries the
// damaged archive held as far as it tells (0: unknown), and where the damaged original was kept
// (empty: it was not).
struct RepairReport {
    int32_t recovered = -1;
    int32_t counted = 0;
    std::string keptAs;
};

struct ZipSideCalls {
    std::function<int32_t(const std::string& folder)> setTempPath;
    std::function<int32_t(const std::string& list)> include;
    std::function<int32_t(const std::string& password)> password;
    std::function<int32_t(ZipProgressFn callback)> setCallback;
    std::function<int32_t(const std::string& archive, int32_t action, int32_t level, int32_t flags)>
        execute;
    // The check of real locations and the report of files left out, for the next executes.
    std::function<int32_t(ZipPathCheckFn check, ZipMessageFn report)> setWatch;
    // The bytes the last execute read and wrote.
    std::function<void(int64_t& read, int64_t& written)> getBytes;
    // What the last execute repaired (see RepairReport); empty in a stand-in that repairs nothing.
    std::function<RepairReport()> getRepair;
};

// What the entry record cannot hold: the entry's whole name and its 64-bit sizes.
struct FullEntry {
    std::string name;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
};

struct UnzipSideCalls {
    std::function<int32_t(const std::string& archive)> zipName;
    std::function<int32_t(const std::string& names)> include;
    std::function<int32_t(const std::string& folder)> extractTo;
    std::function<int32_t(const std::string& password)> password;
    std::function<int32_t(ZipProgressFn callback)> setCallback;
    std::function<int32_t(int32_t action, int32_t flags)> execute;
    // Starts the unzip side afresh (before and after a listing).
    std::function<int32_t()> reset;
    // Fills record with the next listed entry and full with what the record cannot hold; full
    // stays empty when the library cannot tell. 0, or a status code.
    std::function<int32_t(ZipEntryRecord& record, std::optional<FullEntry>& full)> getNext;
    std::function<int32_t(ZipPathCheckFn check, ZipMessageFn report)> setWatch;
    std::function<void(int64_t& read, int64_t& written)> getBytes;
};

// The setters both sides have alike. False, with the refusal in message, when the library refuses;
// an empty password is not set.
template <typename SideCalls>
bool SetPassword(SideCalls& calls, const std::string& password, std::string& message) {
    if (!password.empty() && !calls.password(password)) {
        message = "<B>Error:</B> Failed to set password.";
        return false;
    }
    return true;
}

// The progress callback, and the thread's hooks for real locations and files left out.
template <typename SideCalls>
bool SetCallbacks(SideCalls& calls, std::string& message) {
    if (!calls.setCallback(ZipProgress) || !calls.setWatch(LocationCheck, LeftOutReport)) {
        message = "<B>Error:</B> Failed to set 'progress' callback function.";
        return false;
    }
    return true;
}

// The calls the operations and the listing use: the stand-in set by a test, else the zip library's.
// Binding the library happens at each call's first use and may throw; the callers report that as
// their error.
ZipSideCalls CurrentZipSideCalls();
UnzipSideCalls CurrentUnzipSideCalls();

// Tests only: use these calls instead of the library's until reset with nullopt.
void UseZipSideCallsForTests(std::optional<ZipSideCalls> calls);
void UseUnzipSideCallsForTests(std::optional<UnzipSideCalls> calls);

}  // namespace vantrel
