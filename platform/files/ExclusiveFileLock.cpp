#include "platform/files/ExclusiveFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"

namespace vantrel::platform {

ExclusiveFileLock::ExclusiveFileLock(std::string_view windowsPath) {
    ConfinedPath folder;
    std::string name;
    if (OpenFolderOf(windowsPath, folder, name) != PathStatus::Ok || !IsWindowsName(name)) {
        return;
    }
    // Each lock opens the file afresh: flock excludes other open descriptions, so two threads of
    // one process exclude each other as two processes do. Reading is enough to lock, so every
    // account that may read the guard file takes part, whoever created it.
    int fd = ::openat(folder.Fd(), name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    int status;
    do {
        status = ::flock(fd, LOCK_EX);
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

ExclusiveFileLock::~ExclusiveFileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the only descriptor releases the lock
    }
}

}  // namespace vantrel::platform
