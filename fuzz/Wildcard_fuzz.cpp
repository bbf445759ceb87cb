// The wildcard matcher against a plain dynamic-programming matcher: for ASCII patterns and names
// both must agree ("*" any run, "?" one character, letter case ignored, a trailing ".*" also
// matching names without a dot), and no pattern may make the matcher crash.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/files/Wildcard.h"
#include "platform/text/AsciiCase.h"

namespace {

using vantrel::platform::LowerAscii;
using vantrel::platform::WildcardMatch;

// Long enough for any real name, short enough that the table stays cheap.
constexpr size_t kLongestCompared = 300;

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 0x7f) {
            return false;
        }
    }
    return true;
}

// matches[i][j]: the first i characters of the pattern match the first j of the name.
bool TableMatch(std::string_view pattern, std::string_view name) {
    std::vector<std::vector<bool>> matches(pattern.size() + 1,
                                           std::vector<bool>(name.size() + 1, false));
    matches[0][0] = true;
    for (size_t i = 1; i <= pattern.size(); ++i) {
        char p = pattern[i - 1];
        matches[i][0] = p == '*' && matches[i - 1][0];
        for (size_t j = 1; j <= name.size(); ++j) {
            if (p == '*') {
                matches[i][j] = matches[i - 1][j] || matches[i][j - 1];
            } else {
                matches[i][j] =
                    (p == '?' || LowerAscii(p) == LowerAscii(name[j - 1])) && matches[i - 1][j - 1];
            }
        }
    }
    return matches[pattern.size()][name.size()];
}

bool ReferenceMatch(std::string_view pattern, std::string_view name) {
    bool dotless = pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
                   name.find('.') == std::string_view::npos;
    return (dotless && TableMatch(pattern.substr(0, pattern.size() - 2), name)) ||
           TableMatch(pattern, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto fields = vantrel::fuzz::SplitFields(data, size, 2);
    const std::string& pattern = fields[0];
    const std::string& name = fields[1];
    bool matched = WildcardMatch(pattern, name);
    FUZZ_CHECK(WildcardMatch("*", name));
    if (name.find_first_of("*?") == std::string::npos) {
        FUZZ_CHECK(WildcardMatch(name, name));
    }
    if (IsAscii(pattern) && IsAscii(name) && pattern.size() <= kLongestCompared &&
        name.size() <= kLongestCompared) {
        FUZZ_CHECK(matched == ReferenceMatch(pattern, name));
    }
    return 0;
}
