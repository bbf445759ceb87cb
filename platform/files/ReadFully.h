#pragma once
// Reads a stretch of a file whole with pread, however many pieces the kernel hands it in.

#include <cstddef>
#include <cstdint>

namespace vantrel::platform {

// Reads exactly length bytes at offset into into: 0, or an errno value; ENODATA when the file
// ends first (it shrank since its size was taken).
int ReadFully(int fd, void* into, size_t length, uint64_t offset);

}  // namespace vantrel::platform
