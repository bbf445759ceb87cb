#include "platform/ziplib/ArchiveReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/ReadFully.h"

namespace vantrel::ziplib {

namespace {

bool Fits(uint64_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

}  // namespace

DescriptorReader::DescriptorReader(int fd) : fd_(fd) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<uint64_t>(info.st_size);
    }
}

bool DescriptorReader::ReadAt(uint64_t offset, void* out, size_t length) const {
    if (!Fits(size_, offset, length)) {
        return false;
    }
    // False too when the file shrank since its size was taken.
    return platform::ReadFully(fd_, out, length, offset + from_) == 0;
}

bool MemoryReader::ReadAt(uint64_t offset, void* out, size_t length) const {
    if (!Fits(bytes_.size, offset, length)) {
        return false;
    }
    if (length > 0) {
        std::memcpy(out, bytes_.data + offset, length);
    }
    return true;
}

}  // namespace vantrel::ziplib
