#pragma once
// Random access to an archive's bytes for the structure checks that run before libzip reads it.
// Reading through a descriptor with pread, instead of mapping the file, keeps a multi-gigabyte
// archive out of the address space and turns a file that shrinks under the reader into a short
// read (a refusal) rather than a SIGBUS that would take the whole host down.

#include <cstddef>
#include <cstdint>

#include "platform/ziplib/RawZipFormat.h"

namespace vantrel::ziplib {

class ArchiveReader {
  public:
    virtual ~ArchiveReader() = default;

    // The archive's size when the reader was made.
    virtual uint64_t Size() const = 0;

    // Reads exactly length bytes at offset into out; false when they are not all there.
    virtual bool ReadAt(uint64_t offset, void* out, size_t length) const = 0;
};

// Reads an open file through its descriptor, which the caller keeps open and owns.
class DescriptorReader : public ArchiveReader {
  public:
    // The size is taken with fstat now; a descriptor that is not a regular file reads as empty.
    explicit DescriptorReader(int fd);
    // Reads size bytes of the file from from on, as a file of their own.
    DescriptorReader(int fd, uint64_t from, uint64_t size) : fd_(fd), from_(from), size_(size) {}

    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* out, size_t length) const override;

  private:
    int fd_;
    uint64_t from_ = 0;
    uint64_t size_ = 0;
};

// Reads bytes already in memory (a mapped file, a buffer under test).
class MemoryReader : public ArchiveReader {
  public:
    explicit MemoryReader(raw::Bytes bytes) : bytes_(bytes) {}

    uint64_t Size() const override { return bytes_.size; }
    bool ReadAt(uint64_t offset, void* out, size_t length) const override;

  private:
    raw::Bytes bytes_;
};

}  // namespace vantrel::ziplib
