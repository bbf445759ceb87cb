#pragma once
// Which entry names may be extracted: a name is a path below the target folder, so names that are
// absolute, begin with a drive ("c:") or contain ".." are refused. "\" counts as a separator like
// "/"; a colon anywhere else is an ordinary character.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib {

// The segments of a safe name ("." and empty segments dropped), or nullopt for an unsafe one.
std::optional<std::vector<std::string>> SafeEntrySegments(std::string_view name);
// Whether SafeEntrySegments takes the name, without making its segments.
bool IsSafeEntryName(std::string_view name);

}  // namespace vantrel::ziplib
