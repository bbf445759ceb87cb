#include "platform/files/Wildcard.h"

#include <algorithm>

#include "platform/text/CaseFolding.h"

namespace vantrel::platform {

namespace {

// Greedy matching with one backtrack point: linear in practice, never exponential. Works on bytes
// of ASCII text (compared by same, which ignores case) and on folded characters of any other, so
// "?" is always one character.
template <typename Text, typename Same>
bool Match(const Text& pattern, const Text& name, Same same) {
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t p = 0, n = 0, starP = kNone, starN = 0;
    while (n < name.size()) {
        // A star is a star even where the name holds one (Linux names may).
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP != kNone) {
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

template <typename Text, typename Same>
bool MatchWindows(const Text& pattern, const Text& name, Same same) {
    // As on Windows, a trailing ".*" also matches names without any dot ("*.*", "readme.*").
    const size_t size = pattern.size();
    if (size >= 2 && pattern[size - 2] == '.' && pattern[size - 1] == '*' &&
        std::find(name.begin(), name.end(), '.') == name.end() &&
        Match(Text(pattern.substr(0, size - 2)), name, same)) {
        return true;
    }
    return Match(pattern, name, same);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool SameIgnoringAsciiCase(char a, char b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*" || pattern == "*") {
        return true;
    }
    if (IsAscii(pattern) && IsAscii(name)) {
        return MatchWindows(pattern, name, SameIgnoringAsciiCase);
    }
    return MatchWindows(FoldedCharacters(pattern), FoldedCharacters(name),
                        [](auto a, auto b) { return a == b; });
}

}  // namespace vantrel::platform
