// Windows paths taken apart and put in canonical form, and the administrator's path policy on
// them: nothing crashes, canonical forms are stable, and a path whose canonical form holds an
// excluded fragment is refused however it is written.
#include <cstdint>
#include <string>
#include <string_view>

#include "component/policy/PolicyHarness.h"
#include "component/policy/PolicyPaths.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/drives/WindowsPath.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

struct FuzzTag;

// The settings as the policy reads them, so the properties below judge what it really saw.
template <>
struct FarbaleTestAccess<FuzzTag> {
    static std::string ReadSetting(Farbale& f, const std::string& name) {
        return f.ReadSetting(name);
    }
};

}  // namespace vantrel

namespace {

using namespace vantrel;
using testing::PolicyAccess;

void CheckParsedPath(const std::string& path) {
    auto parsed = platform::ParseWindowsPath(path);
    if (!parsed) {
        return;
    }
    FUZZ_CHECK(parsed->drive >= 'a' && parsed->drive <= 'z');
    for (const auto& segment : parsed->segments) {
        FUZZ_CHECK(!segment.empty() && segment != "." && segment != "..");
        FUZZ_CHECK(segment.find_first_of("\\/") == std::string::npos);
    }
    std::string text = parsed->ToString();
    FUZZ_CHECK(platform::NormalizeWindowsPath(text) == text);
}

void CheckPolicyPath(const std::string& path) {
    auto normal = NormalizePolicyPath(path);
    if (normal && platform::HasDriveLetter(path)) {
        FUZZ_CHECK(NormalizePolicyPath(*normal) == normal);
        FUZZ_CHECK(normal->find("\\..\\") == std::string::npos);
    }
}

// Printable ASCII only: there letter case and blanks mean the same to every reading of the lists.
bool IsPlainText(std::string_view text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

// True when a fragment of the list that is not blank occurs in the path. Lists of fewer than two
// characters (after their outer separators) are not set.
bool ListNamesFragmentOf(const std::string& path, std::string list) {
    list = platform::TrimBlanks(list);
    size_t first = list.find_first_not_of(';');
    size_t last = list.find_last_not_of(';');
    if (first == std::string::npos || last - first + 1 < 2) {
        return false;
    }
    list = platform::LowerAscii(list.substr(first, last - first + 1));
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = std::min(list.find(';', start), list.size());
        std::string entry = platform::TrimBlanks(std::string_view(list).substr(start, end - start));
        if (!entry.empty() && path.find(entry) != std::string::npos) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool Refused(const std::string& output) {
    return output.find("has been disabled by the administrator.") != std::string::npos ||
           output.find("Error accessing security information.") != std::string::npos;
}

struct Policy {
    testing::TemporaryServer server;
    testing::PolicyRequest request{false};
    testing::PolicyRequest debugRequest{true};
};

Policy& TheServer() {
    static Policy policy;
    return policy;
}

void CheckPolicy(const std::string& path, const std::string& excluded, const std::string& included,
                 bool debug) {
    Policy& policy = TheServer();
    policy.server.StoreSetting("ExcludedFilePathList", excluded);
    policy.server.StoreSetting("IncludedFilePathList", included);
    testing::PolicyRequest& request = debug ? policy.debugRequest : policy.request;
    request.Bind();
    request.output.clear();
    bool allowed = PolicyAccess::CheckPathAccess(request.component, path);
    FUZZ_CHECK(allowed != Refused(request.output));

    using Access = FarbaleTestAccess<FuzzTag>;
    std::string readExcluded = Access::ReadSetting(request.component, "ExcludedFilePathList");
    std::string readIncluded = Access::ReadSetting(request.component, "IncludedFilePathList");
    std::string lowerPath = platform::LowerAscii(platform::TrimBlanks(path));
    if (allowed && IsPlainText(path) && IsPlainText(readExcluded) &&
        lowerPath.find('|') == std::string::npos) {
        auto normal = NormalizePolicyPath(lowerPath);
        FUZZ_CHECK(normal.has_value());
        FUZZ_CHECK(!ListNamesFragmentOf(*normal, readExcluded));
    }

    for (auto mode : {PathListMode::Exclude, PathListMode::Include}) {
        request.output.clear();
        bool passed = PolicyAccess::MatchPathList(request.component, lowerPath, excluded, mode);
        FUZZ_CHECK(passed != Refused(request.output));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // flags, path, exclude list, include list
    auto fields = fuzz::SplitFields(data, size, 4);
    const std::string& path = fields[1];
    CheckParsedPath(path);
    CheckPolicyPath(path);
    platform::IsWindowsName(path);
    bool debug = !fields[0].empty() && (fields[0][0] & 1);
    CheckPolicy(path, fields[2], fields[3], debug);
    return 0;
}
