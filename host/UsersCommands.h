#pragma once
// The administrator's commands on the users file: --add-user, --list-users and --remove-user.

#include <ostream>

#include "host/HostOptions.h"

namespace vantrel::host {

// Runs the users command the options ask for (options.ManagesUsers()). What was done goes to out,
// a refusal to err. Returns the exit status: 0 when done, 1 when refused.
int RunUsersCommand(const HostOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vantrel::host
