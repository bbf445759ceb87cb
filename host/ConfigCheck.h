#pragma once
// vantrel-host --check-config: what the host would find wrong at start, found without starting it,
// so an administrator can test a changed configuration before restarting the service.

#include <ostream>

#include "host/HostOptions.h"

namespace vantrel::host {

// Prints the effective settings to out, one "key = value" line each (a configuration file in
// itself), and every problem to err: drive folders that are missing or not folders, a certificate
// and key that do not load or do not belong together, a users file that cannot be read (or, as
// root, names users without an account of their own), a missing PAM service, settings that a
// root host's users could not read, logs whose folder is missing. Returns the exit status: 0 when
// nothing is wrong, 2 otherwise. Creates, changes and listens on nothing.
int CheckConfiguration(const HostOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vantrel::host
