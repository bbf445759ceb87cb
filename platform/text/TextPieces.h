#pragma once
// Cutting text into the pieces the request fields and settings are made of.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The text without the blanks round it (blanks only, as the settings and fields are written).
std::string TrimBlanks(std::string_view text);

// The pieces between separators, empty ones included: "a;;b" gives {"a", "", "b"}.
std::vector<std::string_view> SplitText(std::string_view text, char separator);

}  // namespace vantrel::platform
