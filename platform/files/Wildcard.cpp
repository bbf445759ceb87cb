#include "platform/files/Wildcard.h"

#include "platform/text/AsciiCase.h"

namespace vantrel::platform {

namespace {

bool SameLetter(char a, char b) {
    return LowerAscii(a) == LowerAscii(b);
}

// Greedy matching with one backtrack point: linear in practice, never exponential.
bool Match(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        // A star is a star even where the name holds one (Linux names may).
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || SameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    // As on Windows, a trailing ".*" also matches names without any dot ("*.*", "readme.*").
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos &&
        Match(pattern.substr(0, pattern.size() - 2), name)) {
        return true;
    }
    return Match(pattern, name);
}

}  // namespace vantrel::platform
