#include "host/AccountCredentials.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace vantrel::host {

std::optional<FileCredentials> LookUpFileCredentials(const std::string& linuxAccount) {
    if (linuxAccount.empty()) {
        return std::nullopt;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    while (::getpwnam_r(linuxAccount.c_str(), &entry, buffer.data(), buffer.size(), &found) ==
           ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (!found) {
        return std::nullopt;
    }
    FileCredentials credentials{found->pw_uid, found->pw_gid, {}};
    int count = 16;
    for (;;) {
        credentials.groups.resize(static_cast<size_t>(count));
        int wanted = count;
        if (::getgrouplist(found->pw_name, found->pw_gid, credentials.groups.data(), &wanted) >=
            0) {
            credentials.groups.resize(static_cast<size_t>(wanted));
            return credentials;
        }
        if (wanted <= count) {
            return std::nullopt;
        }
        count = wanted;
    }
}

}  // namespace vantrel::host
