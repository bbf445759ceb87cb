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

// For a value in a URL's query: every byte but letters, digits and - _ . ~ becomes %XX, so
// "c:\a b" is "c%3A%5Ca%20b".
std::string QueryEscape(std::string_view text);

}  // namespace vantrel
