#pragma once
// Several paths in one request field, joined by "|": the zip source list ("c:\a.txt|c:\b.txt")
// or several archives, where the names after the first lie in the first one's folder
// ("c:\data\a.zip|b.zip"). The component's path policy and the zip library read them alike.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The members exactly as written, blanks included: "c:\d\same.txt |c:\d\b.txt" names the file
// "same.txt " (with its blank), never "same.txt". Empty members are dropped. A text without "|" is
// its own single member; a text whose members are all empty gives the one empty path.
std::vector<std::string> SplitJoinedPaths(std::string_view text);

// Members after the first that carry no drive are names in the first member's folder: they get
// that folder in front. Members with a drive, and lists whose first member has none, stay as
// they are.
std::vector<std::string> InFolderOfFirst(std::vector<std::string> members);

}  // namespace vantrel::platform
