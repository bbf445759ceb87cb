#include "platform/text/CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "platform/text/AsciiCase.h"

namespace vantrel::platform {

namespace {

// Where invalid bytes go among the characters: past U+10FFFF, so they never equal a code point.
constexpr char32_t kInvalidByteBase = 0x110000;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Calls take(character, bytes) for each code point of text, folded, and for each invalid byte
// (as kInvalidByteBase + the byte), with the bytes it came from.
template <typename Take>
void ForEachFolded(std::string_view text, Take take) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            // A broken sequence: its first byte stands alone, the rest is looked at afresh.
            i = start + 1;
            take(kInvalidByteBase + bytes[start], text.substr(start, 1));
            continue;
        }
        take(static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT)),
             text.substr(start, i - start));
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    uint8_t buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));  // the buffer holds any code point
    out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return LowerAscii(utf8);
    }
    std::string folded;
    folded.reserve(utf8.size());
    ForEachFolded(utf8, [&](char32_t c, std::string_view original) {
        if (c >= kInvalidByteBase) {
            folded.append(original);
        } else {
            AppendUtf8(folded, c);
        }
    });
    return folded;
}

std::u32string FoldedCharacters(std::string_view utf8) {
    std::u32string characters;
    characters.reserve(utf8.size());
    ForEachFolded(utf8, [&](char32_t c, std::string_view) { characters.push_back(c); });
    return characters;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
    }
    return FoldedCharacters(a) == FoldedCharacters(b);
}

}  // namespace vantrel::platform
