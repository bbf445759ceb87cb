#include "component/archive/LibraryCalls.h"

#include <mutex>

#include "component/archive/Globals.h"

namespace vantrel {

namespace {

std::mutex testCallsMutex;
std::optional<ZipSideCalls> testZipCalls;
std::optional<UnzipSideCalls> testUnzipCalls;

// The library may write into the text it is given; the operations' own strings stay as they are.
int32_t WithCopy(int32_t (*call)(std::string&), const std::string& text) {
    std::string copy = text;
    return call(copy);
}

ZipSideCalls LibraryZipSideCalls() {
    return {
        [](const std::string& folder) { return WithCopy(lszip::LSZIP_SETTEMPATH, folder); },
        [](const std::string& list) { return WithCopy(lszip::LSZIP_INCLUDE, list); },
        [](const std::string& password) { return WithCopy(lszip::LSZIP_PASSWORD, password); },
        [](ZipProgressFn callback) { return lszip::LSZIP_SETCALLBACK(callback); },
        [](const std::string& archive, int32_t action, int32_t level, int32_t flags) {
            std::string copy = archive;
            return lszip::LSZIP_EXECUTE(copy, action, level, flags);
        },
        [](ZipPathCheckFn check, ZipMessageFn report) {
            return lszip::LSZIP_SETPATHCHECK(check) && lszip::LSZIP_SETMSG(report) ? 1 : 0;
        },
        [](int64_t& read, int64_t& written) { lszip::LSZIP_GETBYTES(read, written); },
    };
}

UnzipSideCalls LibraryUnzipSideCalls() {
    return {
        [](const std::string& archive) { return WithCopy(lszip::LSUZ_ZIPNAME, archive); },
        [](const std::string& names) { return WithCopy(lszip::LSUZ_INCLUDE, names); },
        [](const std::string& folder) { return WithCopy(lszip::LSUZ_EXTRACTTO, folder); },
        [](const std::string& password) { return WithCopy(lszip::LSUZ_PASSWORD, password); },
        [](ZipProgressFn callback) { return lszip::LSUZ_SETCALLBACK(callback); },
        [](int32_t action, int32_t flags) { return lszip::LSUZ_EXECUTE(action, flags); },
        [] { return lszip::LSUZ_RESET(); },
        [](ZipEntryRecord& record, std::optional<FullEntry>& full) {
            std::string name;
            int64_t size = 0, compressedSize = 0;
            int32_t result = lszip::LSUZ_GETNEXTEX(record, name, size, compressedSize);
            if (result == 0) {
                full = FullEntry{std::move(name), static_cast<uint64_t>(size),
                                 static_cast<uint64_t>(compressedSize)};
            }
            return result;
        },
        [](ZipPathCheckFn check, ZipMessageFn report) {
            return lszip::LSUZ_SETPATHCHECK(check) && lszip::LSUZ_SETMSG(report) ? 1 : 0;
        },
        [](int64_t& read, int64_t& written) { lszip::LSUZ_GETBYTES(read, written); },
    };
}

}  // namespace

ZipSideCalls CurrentZipSideCalls() {
    std::lock_guard lock(testCallsMutex);
    return testZipCalls ? *testZipCalls : LibraryZipSideCalls();
}

UnzipSideCalls CurrentUnzipSideCalls() {
    std::lock_guard lock(testCallsMutex);
    return testUnzipCalls ? *testUnzipCalls : LibraryUnzipSideCalls();
}

void UseZipSideCallsForTests(std::optional<ZipSideCalls> calls) {
    std::lock_guard lock(testCallsMutex);
    testZipCalls = std::move(calls);
}

void UseUnzipSideCallsForTests(std::optional<UnzipSideCalls> calls) {
    std::lock_guard lock(testCallsMutex);
    testUnzipCalls = std::move(calls);
}

}  // namespace vantrel
