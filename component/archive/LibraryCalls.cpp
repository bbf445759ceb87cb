#include "component/archive/LibraryCalls.h"

#include <mutex>

#include "component/archive/ZipLibrary.h"

namespace vantrel {

namespace {

std::mutex testCallsMutex;
std::optional<ZipSideCalls> testZipCalls;
std::optional<UnzipSideCalls> testUnzipCalls;

ZipSideCalls LibraryZipSideCalls() {
    return {
        lszip::LSZIP_SETTEMPATH,
        lszip::LSZIP_INCLUDE,
        lszip::LSZIP_PASSWORD,
        lszip::LSZIP_SETCALLBACK,
        lszip::LSZIP_EXECUTE,
        [](ZipPathCheckFn check, ZipMessageFn report) {
            return lszip::LSZIP_SETPATHCHECK(check) && lszip::LSZIP_SETMSG(report) ? 1 : 0;
        },
        [](int64_t& read, int64_t& written) { lszip::LSZIP_GETBYTES(read, written); },
        [] {
            RepairReport report;
            lszip::LSZIP_GETREPAIR(report.recovered, report.counted, report.keptAs);
            return report;
        },
    };
}

UnzipSideCalls LibraryUnzipSideCalls() {
    return {
        lszip::LSUZ_ZIPNAME,
        lszip::LSUZ_INCLUDE,
        lszip::LSUZ_EXTRACTTO,
        lszip::LSUZ_PASSWORD,
        lszip::LSUZ_SETCALLBACK,
        lszip::LSUZ_EXECUTE,
        lszip::LSUZ_RESET,
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
