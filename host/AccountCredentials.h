#pragma once
// A Linux account's user id, group id and supplementary groups, as the system's account database
// gives them.

#include <optional>
#include <string>

#include "host/SignedInAccount.h"

namespace vantrel::host {

// nullopt when the system knows no such account.
std::optional<FileCredentials> LookUpFileCredentials(const std::string& linuxAccount);

}  // namespace vantrel::host
