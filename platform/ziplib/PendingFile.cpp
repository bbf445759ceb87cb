#include "platform/ziplib/PendingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/TemporaryFiles.h"

namespace vantrel::ziplib {

namespace {

// Whether unnamed files can be given a name through /proc (they cannot without it).
bool ProcLinksWork() {
    static const bool work = access("/proc/self/fd", X_OK) == 0;
    return work;
}

}  // namespace

PendingFile::PendingFile(int folder, mode_t mode) : folder_(folder) {
    if (ProcLinksWork()) {
        fd_.Reset(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (fd_ || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            return;
        }
    }
    std::string name = platform::TemporaryFileName();
    fd_.Reset(
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd_) {
        temporary_ = std::move(name);
    }
}

PendingFile::~PendingFile() {
    if (!temporary_.empty()) {
        unlinkat(folder_, temporary_.c_str(), 0);
    }
}

bool PendingFile::LinkAs(const std::string& leaf) {
    if (temporary_.empty()) {
        return LinkUnnamed(leaf);
    }
    if (linkat(folder_, temporary_.c_str(), folder_, leaf.c_str(), 0) != 0) {
        return false;
    }
    unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    return true;
}

bool PendingFile::Replace(const std::string& leaf) {
    if (temporary_.empty()) {
        std::string name = platform::TemporaryFileName();
        if (!LinkUnnamed(name)) {
            return false;
        }
        temporary_ = std::move(name);
    }
    if (renameat(folder_, temporary_.c_str(), folder_, leaf.c_str()) != 0) {
        return false;
    }
    temporary_.clear();
    return true;
}

bool PendingFile::LinkUnnamed(const std::string& name) {
    std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
    return linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace vantrel::ziplib
