#pragma once
// The host hands the component and the zip library its drive map, free-space reserve and settings
// registry through the process's environment, once, before the first request: every layer that
// loads into the process finds them there.

#include "host/HostOptions.h"

namespace vantrel::host {

void PublishProcessSettings(const HostOptions& options);

}  // namespace vantrel::host
