#pragma once
// Test support: a stand-in for the zip library that records what the operations hand it and
// answers with the status codes a test chooses. It calls the progress callback once per execute,
// as the library does when it starts its work.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "component/archive/LibraryCalls.h"

namespace vantrel::testing {

struct FakeZipLibrary {
    // What the last runs received; "unset" for a text the operation did not set.
    struct ZipRun {
        std::string tempPath = "unset", list = "unset", password = "unset", archive;
        int32_t action = 0, level = -1, flags = 0;
        bool callbackSet = false;
    };
    struct UnzipRun {
        std::string archive = "unset", names = "unset", target = "unset", password = "unset";
        int32_t action = 0, flags = 0;
        bool callbackSet = false;
    };

    std::vector<ZipRun> zipRuns;
    std::vector<UnzipRun> unzipRuns;
    // Status codes of the coming executes, in order; 0 once they run out.
    std::vector<int32_t> codes;
    // Which setter refuses its value ("include", "password", ...), if any.
    std::string refusing;
    // Runs inside each execute, before it returns (to look at the files meanwhile, or to ask and
    // tell what the library would through check and report).
    std::function<void()> duringExecute;
    ZipPathCheckFn check = nullptr;
    ZipMessageFn report = nullptr;

    FakeZipLibrary() {
        UseZipSideCallsForTests(ZipCalls());
        UseUnzipSideCallsForTests(UnzipCalls());
    }
    ~FakeZipLibrary() {
        UseZipSideCallsForTests(std::nullopt);
        UseUnzipSideCallsForTests(std::nullopt);
    }

    int executes() const { return static_cast<int>(zipRuns.size() + unzipRuns.size()); }

  private:
    ZipRun pendingZip_;
    UnzipRun pendingUnzip_;
    ZipProgressFn callback_ = nullptr;

    int32_t Accept(const char* setter, std::string& slot, const std::string& value) {
        slot = refusing == setter ? slot : value;
        return refusing != setter;
    }
    int32_t NextCode() {
        if (callback_) {
            callback_(0, 1, 0, 0, 0);
        }
        if (duringExecute) {
            duringExecute();
        }
        if (codes.empty()) {
            return 0;
        }
        int32_t code = codes.front();
        codes.erase(codes.begin());
        return code;
    }
    int32_t SetCallback(ZipProgressFn callback, bool& flag) {
        callback_ = callback;
        flag = callback != nullptr;
        return refusing != "callback";
    }
    int32_t Watch(ZipPathCheckFn c, ZipMessageFn r) {
        check = c;
        report = r;
        return 1;
    }

    ZipSideCalls ZipCalls() {
        return {
            [this](const std::string& v) { return Accept("tempPath", pendingZip_.tempPath, v); },
            [this](const std::string& v) { return Accept("include", pendingZip_.list, v); },
            [this](const std::string& v) { return Accept("password", pendingZip_.password, v); },
            [this](ZipProgressFn f) { return SetCallback(f, pendingZip_.callbackSet); },
            [this](const std::string& archive, int32_t action, int32_t level, int32_t flags) {
                pendingZip_.archive = archive;
                pendingZip_.action = action;
                pendingZip_.level = level;
                pendingZip_.flags = flags;
                zipRuns.push_back(pendingZip_);
                pendingZip_ = {};
                return NextCode();
            },
            [this](ZipPathCheckFn c, ZipMessageFn r) { return Watch(c, r); },
            [](int64_t& read, int64_t& written) { read = written = 0; },
        };
    }
    UnzipSideCalls UnzipCalls() {
        return {
            [this](const std::string& v) { return Accept("zipName", pendingUnzip_.archive, v); },
            [this](const std::string& v) { return Accept("include", pendingUnzip_.names, v); },
            [this](const std::string& v) { return Accept("extractTo", pendingUnzip_.target, v); },
            [this](const std::string& v) { return Accept("password", pendingUnzip_.password, v); },
            [this](ZipProgressFn f) { return SetCallback(f, pendingUnzip_.callbackSet); },
            [this](int32_t action, int32_t flags) {
                pendingUnzip_.action = action;
                pendingUnzip_.flags = flags;
                unzipRuns.push_back(pendingUnzip_);
                pendingUnzip_ = {};
                return NextCode();
            },
            {},
            {},
            [this](ZipPathCheckFn c, ZipMessageFn r) { return Watch(c, r); },
            [](int64_t& read, int64_t& written) { read = written = 0; },
        };
    }
};

}  // namespace vantrel::testing
