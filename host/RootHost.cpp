#include "host/RootHost.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "component/policy/LockFileTime.h"
#include "host/AccountCredentials.h"
#include "host/UsersFile.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

bool IsLockFileName(const std::string& name) {
    return (name.starts_with(kZipLockPrefix) || name.starts_with(kUnzipLockPrefix)) &&
           name.ends_with(kLockFileExtension);
}

void RemoveStaleLocks(const fs::path& folder, int timeOutSeconds) {
    std::error_code ec;
    auto now = fs::file_time_type::clock::now();
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        auto written = entry.last_write_time(ec);
        if (!ec && entry.is_regular_file(ec) && IsLockFileName(name) &&
            now - written > std::chrono::seconds(std::max(timeOutSeconds, 60))) {
            fs::remove(entry.path(), ec);
        }
    }
}

}  // namespace

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

bool ShareTempFolder(const fs::path& folder, int timeOutSeconds, std::string& error) {
    fs::path guard = folder / std::string(kQueueGuardFileName);
    int fd = ::open(guard.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    bool ok = ::chmod(folder.c_str(), 01777) == 0 && fd >= 0 && ::fchown(fd, 0, 0) == 0 &&
              ::fchmod(fd, 0666) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!ok) {
        error = "cannot share the temporary folder " + folder.string() + " between the accounts";
        return false;
    }
    RemoveStaleLocks(folder, timeOutSeconds);
    return true;
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
