#pragma once
// Letter case as Windows names compare it here: only the ASCII letters have a case.

#include <string>
#include <string_view>

namespace vantrel::platform {

char LowerAscii(char c);
std::string LowerAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vantrel::platform
