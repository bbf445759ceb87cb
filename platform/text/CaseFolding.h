#pragma once
// Letter case as the server's names compare it: Unicode case folding, so that "PRIVÉ" and "privé",
// or "ΣΟΦΊΑ" and "σοφία", are one name to the path policy, the drive map, the wildcard matcher and
// the entry lists alike. Folding is simple (one code point to one code point, without regard to
// language), so a wildcard "?" still stands for one character. Bytes that are not UTF-8 are kept
// as they are and match only themselves.

#include <string>
#include <string_view>

namespace vantrel::platform {

// The folded text: every code point replaced by its simple case folding; invalid UTF-8 bytes are
// copied unchanged.
std::string FoldCase(std::string_view utf8);

// The folded characters of a text, one per code point; an invalid UTF-8 byte is one character of
// its own (above the Unicode range, so that it equals no code point).
std::u32string FoldedCharacters(std::string_view utf8);

// True when the two texts are equal once folded.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vantrel::platform
