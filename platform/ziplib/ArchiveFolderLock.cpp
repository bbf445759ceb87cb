#include "platform/ziplib/ArchiveFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::ziplib {

ArchiveFolderLock::ArchiveFolderLock(const std::filesystem::path& folder) {
    // A missing folder needs no lock: the change fails before it writes anything.
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
