#pragma once
// The paths an operation hands the path policy, made ready for matching. A request may name
// several full paths joined by "|" (the zip source list, several archives); each is tested on its
// own, so one member that contains an include entry cannot carry the others through. And each is
// tested as the path the operation will really touch: "c:\inetpub\wwwroot\..\..\windows\x" is
// tested as "c:\windows\x".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The text without the blanks round it (blanks only, as the settings are stored).
std::string TrimBlanks(std::string_view text);

// The text with its ASCII letters in lower case.
std::string LowerCase(std::string_view text);

// The members of a "|"-joined list, each trimmed; empty members are dropped. A text without "|"
// is its own single member; a text whose members are all empty gives the one empty path.
std::vector<std::string> SplitJoinedPaths(std::string_view text);

// Members after the first that carry no drive are names in the first member's folder, as in an
// unzip request for several archives ("c:\data\a.zip|b.zip"): they get that folder in front, so
// the policy tests the files really touched. Members with a drive, and lists whose first member
// has none, stay as they are.
std::vector<std::string> InFolderOfFirst(std::vector<std::string> members);

// The form of one member that the lists are matched against. A path with a drive letter has its
// "." and ".." segments resolved and runs of backslashes (or slashes) collapsed to one backslash;
// a trailing backslash stays. A member without a drive (an archive entry list, a bare name) is
// kept as it is. nullopt, for refusal, when a path climbs above its drive's root or a member
// without a drive has a ".." segment, which could lead anywhere.
std::optional<std::string> NormalizePolicyPath(std::string_view path);

}  // namespace vantrel
