#include "component/core/Escape.h"

#include <array>
#include <cstdio>

namespace vantrel {

std::string HtmlEscape(std::string_view text) {
    std::string escaped;
    AppendHtmlEscaped(escaped, text);
    return escaped;
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    static constexpr std::array<bool, 256> kEscaped = [] {
        std::array<bool, 256> escaped{};
        for (unsigned char c : {'&', '<', '>', '"', '\''}) {
            escaped[c] = true;
        }
        return escaped;
    }();
    out.reserve(out.size() + text.size());
    size_t plain = 0;  // the start of the run of characters taken as they are
    for (size_t i = 0; i < text.size(); ++i) {
        if (!kEscaped[static_cast<unsigned char>(text[i])]) {
            continue;
        }
        out.append(text.substr(plain, i - plain));
        switch (text[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += "&#39;";
        }
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

std::string JsStringEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\'':
                escaped += "\\'";
                break;
            case '"':
                escaped += "\\\"";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '<':
                escaped += (i + 1 < text.size() && text[i + 1] == '/') ? "\\x3C" : "<";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char code[8];
                    std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(c));
                    escaped += code;
                } else {
                    escaped += c;
                }
        }
    }
    return escaped;
}

}  // namespace vantrel
