#include "platform/files/ReadFully.h"

#include <unistd.h>

#include <cerrno>

namespace vantrel::platform {

int ReadFully(int fd, void* into, size_t length, uint64_t offset) {
    auto* next = static_cast<char*>(into);
    while (length > 0) {
        ssize_t got = ::pread(fd, next, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            return ENODATA;
        }
        next += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<size_t>(got);
    }
    return 0;
}

}  // namespace vantrel::platform
