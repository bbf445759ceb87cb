#pragma once
// The archives one unzip or test call works on. The name may be one archive, several joined by
// "|" where the names after the first lie in the first one's folder ("c:\data\a.zip|b.zip"), or
// carry wildcards in its last segment ("c:\data\*.zip").

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::ziplib {

// The Linux paths of the archives, in the order named (matches of a wildcard in name order).
// nullopt when a name has no mapped drive or leaves its drive; an empty list when a wildcard
// matches no file.
std::optional<std::vector<std::filesystem::path>> ExpandArchiveNames(const std::string& names);

}  // namespace vantrel::ziplib
