#include "platform/ziplib/ArchiveFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::ziplib {

ArchiveFolderLock::ArchiveFolderLock(int folder) {
    // A lock of its own on the folder: one open file description per change, so that threads of
    // one process exclude each other as processes do. An unreadable folder cannot be locked.
    fd_ = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

ArchiveFolderLock::~ArchiveFolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing releases the lock
    }
}

}  // namespace vantrel::ziplib
