#include "host/RootHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include "host/AccountCredentials.h"
#include "host/UsersFile.h"

namespace vantrel::host {
namespace fs = std::filesystem;

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

bool CheckRegistryReadable(const fs::path& root, std::string& error) {
    std::error_code ec;
    fs::path absolute = fs::absolute(root, ec);
    if (ec || !fs::exists(absolute, ec)) {
        return true;  // no settings: nothing to read
    }
    fs::path walked = absolute.root_path();
    for (const auto& part : absolute.relative_path()) {
        walked /= part;
        struct stat info {};
        if (::stat(walked.c_str(), &info) != 0) {
            continue;
        }
        mode_t needed = walked == absolute ? (S_IROTH | S_IXOTH) : S_IXOTH;
        if ((info.st_mode & needed) != needed) {
            error = "the settings registry " + absolute.string() +
                    " must be readable by every account that signs in, but " + walked.string() +
                    " is closed to them; keep it in a folder such as /etc/vantrel/settings "
                    "(--registry)";
            return false;
        }
    }
    return true;
}

bool CheckUsersActAsAccounts(const fs::path& usersFile, std::string& error) {
    auto entries = ReadUsersFile(usersFile, error);
    if (!entries) {
        return false;
    }
    for (const auto& entry : *entries) {
        auto credentials = LookUpFileCredentials(entry.actsAs);
        if (entry.actsAs.empty() || !credentials || credentials->uid == 0) {
            error = "user " + entry.name + " of " + usersFile.string() +
                    (entry.actsAs.empty()
                         ? " names no Linux account to act as"
                         : " acts as " + entry.actsAs +
                               (credentials ? ", which is root" : ", which does not exist")) +
                    "; a host running as root gives nobody its own rights (add :ACCOUNT)";
            return false;
        }
    }
    return true;
}

}  // namespace vantrel::host
