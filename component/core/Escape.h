#pragma once
// Escaping for values from requests, file names and archive entries. The markup a page writes is
// literal; only the values placed into it go through these.

#include <string>
#include <string_view>

namespace vantrel {

// For text and double-quoted attribute values: & < > " ' become entities. The browser hands the
// scripts the original value back.
std::string HtmlEscape(std::string_view text);
// The same appended to out.
void AppendHtmlEscaped(std::string& out, std::string_view text);

// For the inside of a single- or double-quoted JavaScript string: backslash, quotes, line breaks
// and "</" (which would end the script element) are escaped.
std::string JsStringEscape(std::string_view text);

}  // namespace vantrel
