#include "component/archive/EntryNameText.h"

namespace vantrel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the byte there starts none.
size_t SequenceLength(std::string_view text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (size_t k = i + 2; k < i + length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Copies text, putting replacement in place of every byte that does not survive the page.
std::string Replaced(std::string_view text, std::string_view replacement, bool replaceQuotes) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length = SequenceLength(text, i);
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (length == 0 || (length == 1 && (IsControl(c) || (replaceQuotes && c == '"')))) {
            result += replacement;
            ++i;
        } else {
            result.append(text.substr(i, length));
            i += length;
        }
    }
    return result;
}

}  // namespace

std::string SelectableEntryName(std::string_view name) {
    bool quoted = name.find(' ') != std::string_view::npos;
    return Replaced(name, kReplacement, quoted);
}

std::string ReadableEntryText(std::string_view text) {
    return Replaced(text, kReplacement, false);
}

}  // namespace vantrel
