#pragma once
// Letter case of the ASCII letters alone, for the names that are ASCII by nature: drive letters,
// ".zip", file extensions, lock file names. Names that people choose compare through
// platform/text/CaseFolding.h.

#include <string>
#include <string_view>

namespace vantrel::platform {

char LowerAscii(char c);
std::string LowerAscii(std::string_view text);

}  // namespace vantrel::platform
