#pragma once
// Cutting text into the pieces the request fields and settings are made of.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The text without the blanks round it (blanks only, as the settings and fields are written).
std::string TrimBlanks(std::string_view text);
// The text without the blanks and tabs round it: HTTP's optional white space, and the values of
// the configuration file, which administrators line up with either.
std::string_view TrimBlanksAndTabs(std::string_view text);

// The pieces between separators, empty ones included: "a;;b" gives {"a", "", "b"}.
std::vector<std::string_view> SplitText(std::string_view text, char separator);

}  // namespace vantrel::platform
