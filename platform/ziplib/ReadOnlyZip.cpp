#include "platform/ziplib/ReadOnlyZip.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::ziplib {

OwnedZip OpenReadOnlyZip(int fd, int flags, int* zipError) {
    int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        *zipError = ZIP_ER_OPEN;
        return nullptr;
    }
    OwnedZip za(zip_fdopen(own, flags, zipError));
    if (!za) {
        int saved = errno;
        ::close(own);
        errno = saved;
    }
    return za;
}

}  // namespace vantrel::ziplib
