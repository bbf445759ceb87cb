#pragma once
// Which entry names may be extracted: a name is a path below the target folder, so names that are
// absolute, carry a drive or contain ".." are refused. "\" counts as a separator like "/".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib {

// The segments of a safe name ("." and empty segments dropped), or nullopt for an unsafe one.
std::optional<std::vector<std::string>> SafeEntrySegments(std::string_view name);

}  // namespace vantrel::ziplib
