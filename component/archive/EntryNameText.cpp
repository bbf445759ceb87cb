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

// Appends text to out, putting replacement in place of every byte that does not survive the page.
void AppendReplaced(std::string& out, std::string_view text, std::string_view replacement,
                    bool replaceQuotes) {
    out.reserve(out.size() + text.size());
    size_t kept = 0;  // the start of the run of bytes taken as they are
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && !(replaceQuotes && c == '"')) {
            ++i;  // the common case: printable ASCII
            continue;
        }
        size_t length = SequenceLength(text, i);
        if (length > 1) {
            i += length;
            continue;
        }
        out.append(text.substr(kept, i - kept)).append(replacement);
        kept = ++i;
    }
    out.append(text.substr(kept));
}

}  // namespace

std::string SelectableEntryName(std::string_view name) {
    std::string text;
    AppendSelectableEntryName(text, name);
    return text;
}

std::string ReadableEntryText(std::string_view text) {
    std::string readable;
    AppendReadableEntryText(readable, text);
    return readable;
}

void AppendSelectableEntryName(std::string& out, std::string_view name) {
    bool quoted = name.find(' ') != std::string_view::npos;
    AppendReplaced(out, name, kReplacement, quoted);
}

void AppendReadableEntryText(std::string& out, std::string_view text) {
    AppendReplaced(out, text, kReplacement, false);
}

}  // namespace vantrel
