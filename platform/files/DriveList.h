#pragma once
// The server's drives as the file-system object reports them: letter, type and volume name, in
// the order the drive map configures them.

#include <optional>
#include <vector>

#include "platform/drives/DriveMap.h"

namespace vantrel::platform {

// The drives of the process's drive map (VANTREL_DRIVES), in configured order; no drives when the
// map is not set, nullopt when it cannot be read.
std::optional<std::vector<Drive>> ListDrives();

}  // namespace vantrel::platform
