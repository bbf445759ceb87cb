#include "platform/files/DriveList.h"

#include <cstdlib>

namespace vantrel::platform {

std::optional<std::vector<Drive>> ListDrives() {
    const char* spec = std::getenv(kDrivesVariable);
    if (!spec) {
        return std::vector<Drive>{};
    }
    auto map = DriveMap::Parse(spec);
    if (!map) {
        return std::nullopt;
    }
    return map->Drives();
}

}  // namespace vantrel::platform
