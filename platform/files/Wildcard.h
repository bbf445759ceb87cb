#pragma once
// Windows wildcard matching: case is ignored (Unicode case folding), "?" matches one character,
// "*" any run, and "*.*" matches every name, with or without a dot.

#include <string_view>

namespace vantrel::platform {

bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace vantrel::platform
