#include "host/ProcessSettings.h"

#include <cstdlib>

#include "platform/drives/DriveMap.h"
#include "platform/files/FreeSpaceReserve.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {

void PublishProcessSettings(const HostOptions& options) {
    ::setenv(platform::kDrivesVariable, options.drives.ToSpec().c_str(), 1);
    if (!options.minFreeSpace.empty()) {
        ::setenv(platform::kMinFreeSpaceVariable, options.minFreeSpace.c_str(), 1);
    }
    if (!options.registry.empty()) {
        ::setenv(registry::kRegistryVariable, std::filesystem::absolute(options.registry).c_str(),
                 1);
    }
}

}  // namespace vantrel::host
