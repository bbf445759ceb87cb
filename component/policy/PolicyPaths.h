#pragma once
// The paths an operation hands the path policy, made ready for matching. Each member of a
// "|"-joined list (platform/drives/JoinedPaths.h) is tested on its own, so one member that
// contains an include entry cannot carry the others through. And each is tested as the path the
// operation will really touch: "c:\inetpub\wwwroot\..\..\windows\x" is tested as "c:\windows\x".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The form of one member that the lists are matched against. A path with a drive letter has its
// "." and ".." segments resolved and runs of backslashes (or slashes) collapsed to one backslash;
// a trailing backslash stays. A member without a drive (an archive entry list, a bare name) is
// kept as it is. nullopt, for refusal, when a path climbs above its drive's root or a member
// without a drive has a ".." segment, which could lead anywhere.
std::optional<std::string> NormalizePolicyPath(std::string_view path);

}  // namespace vantrel
