#pragma once
// Entry names and comments as the contents page can carry them. The page is UTF-8; an archive may
// hold names in other encodings, with control characters, or with quotes that the entry list
// cannot enclose. Such bytes cannot travel through the browser as they are, so both the value that
// is posted back and the text shown carry U+FFFD in their place. The result page knows the mark:
// an extraction takes it as "?" (the one-character wildcard, which matches that byte again); a
// delete, which must never reach wider than the entry chosen, is refused.

#include <string>
#include <string_view>

namespace vantrel {

// The name as it is posted back in ZL: valid UTF-8, no control characters, and no double quote
// when the name holds a blank (the list encloses such names in double quotes); U+FFFD in place of
// each byte that cannot be carried.
std::string SelectableEntryName(std::string_view name);

// The text as it is shown: invalid UTF-8 bytes and control characters become U+FFFD.
std::string ReadableEntryText(std::string_view text);
// The same appended to out.
void AppendSelectableEntryName(std::string& out, std::string_view name);
void AppendReadableEntryText(std::string& out, std::string_view text);

}  // namespace vantrel
