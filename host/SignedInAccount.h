#pragma once
// Who a session belongs to: the name the user signed in with and, when the host switches file
// rights, the Linux account's ids that every request of the session works with.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace vantrel::host {

struct FileCredentials {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // supplementary groups, the primary one included
};

struct SignedInAccount {
    std::string name;          // as signed in; the only thing a page shows
    std::string linuxAccount;  // the account acted as; empty: the host's own
    // Set when the host runs as root: requests switch to these file rights. Unset: requests work
    // with the host's own account.
    std::optional<FileCredentials> credentials;
};

}  // namespace vantrel::host
