#pragma once
// The zip library calls that the zip and the unzip/test operations make, gathered in two tables so
// that the operations can run against a stand-in library in tests. Texts are passed as strings;
// the tables hand the library a NUL-terminated copy that lives during the call.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ziplib/lszip.h"

namespace vantrel {

struct ZipSideCalls {
    std::function<int32_t(const std::string& folder)> setTempPath;
    std::function<int32_t(const std::string& list)> include;
    std::function<int32_t(const std::string& password)> password;
    std::function<int32_t(ZipProgressFn callback)> setCallback;
    std::function<int32_t(const std::string& archive, int32_t action, int32_t level, int32_t flags)>
        execute;
};

struct UnzipSideCalls {
    std::function<int32_t(const std::string& archive)> zipName;
    std::function<int32_t(const std::string& names)> include;
    std::function<int32_t(const std::string& folder)> extractTo;
    std::function<int32_t(const std::string& password)> password;
    std::function<int32_t(ZipProgressFn callback)> setCallback;
    std::function<int32_t(int32_t action, int32_t flags)> execute;
};

// The calls the operations use: the stand-in set by a test, else the zip library's. Binding the
// library happens at each call's first use and may throw; the operations report that as their
// error.
ZipSideCalls CurrentZipSideCalls();
UnzipSideCalls CurrentUnzipSideCalls();

// Tests only: use these calls instead of the library's until reset with nullopt.
void UseZipSideCallsForTests(std::optional<ZipSideCalls> calls);
void UseUnzipSideCallsForTests(std::optional<UnzipSideCalls> calls);

}  // namespace vantrel
