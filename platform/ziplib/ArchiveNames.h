#pragma once
// The archives one unzip or test call works on. The name may be one archive, several joined by
// "|" where the names after the first lie in the first one's folder ("c:\data\a.zip|b.zip"), or
// carry wildcards in its last segment ("c:\data\*.zip"). Each is opened where it really lies and
// the caller's check asked about that location; a wildcard never matches a link.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/CallerHooks.h"

namespace vantrel::ziplib {

struct NamedArchive {
    std::string name;               // as named, or the folder's real path and the match
    platform::ConfinedPath opened;  // open for reading when status is 0
    int32_t status = 0;             // why it cannot be read
};

// The archives in the order named (matches of a wildcard in name order). nullopt when a name has
// no mapped drive or leaves its drive; an empty list when a wildcard matches no file. Archives the
// caller's check refuses are left out (and noted in caller).
std::optional<std::vector<NamedArchive>> ExpandArchiveNames(const std::string& names,
                                                            CallerHooks& caller);

}  // namespace vantrel::ziplib
