#include "platform/ziplib/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::ziplib {

MappedFile::MappedFile(int fd) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<uint64_t>(info.st_size);
        if (size_ == 0) {
            open_ = true;
        } else {
            void* mapped = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped != MAP_FAILED) {
                data_ = static_cast<const uint8_t*>(mapped);
                open_ = true;
            }
        }
    }
}

MappedFile::~MappedFile() {
    if (data_) {
        munmap(const_cast<uint8_t*>(data_), size_);
    }
}

}  // namespace vantrel::ziplib
