#include "platform/files/ExclusiveFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/drives/DriveMap.h"

namespace vantrel::platform {

ExclusiveFileLock::ExclusiveFileLock(std::string_view windowsPath) {
    auto path = MapWindowsPath(windowsPath);
    if (!path) {
        return;
    }
    // Each lock opens the file afresh: flock excludes other open descriptions, so two threads of
    // one process exclude each other as two processes do.
    int fd = ::open(path->c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
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
