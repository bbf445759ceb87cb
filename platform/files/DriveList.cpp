#include "platform/files/DriveList.h"

namespace vantrel::platform {

std::optional<std::vector<Drive>> ListDrives() {
    auto map = DriveMap::FromEnvironment();
    if (!map) {
        return std::nullopt;
    }
    return map->Drives();
}

}  // namespace vantrel::platform
