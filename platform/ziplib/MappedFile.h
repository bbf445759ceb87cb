#pragma once
// A file mapped read-only into memory, so that repair can scan archives of any size.
//
// Another process may shorten the file while it is mapped: reading a page past the new end would
// raise SIGBUS and end the whole host. While the object lives, such a fault inside its mapping is
// caught: the missing pages read as zeros from then on and Vanished() tells the reader, which must
// then give up on what it read and fail the call. A fault anywhere else goes on to whatever
// handled SIGBUS before.

#include <cstdint>

namespace vantrel::ziplib {

class MappedFile {
  public:
    // Maps the regular file open at fd (which the object does not keep).
    explicit MappedFile(int fd);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool IsOpen() const { return open_; }
    const uint8_t* Data() const { return data_; }
    uint64_t Size() const { return size_; }
    // True once part of the file vanished under the mapping: what was read cannot be trusted.
    bool Vanished() const;

  private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    bool open_ = false;
    int guard_ = -1;  // the slot that catches faults in the mapping
};

}  // namespace vantrel::ziplib
