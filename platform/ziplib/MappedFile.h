#pragma once
// A file mapped read-only into memory, so that repair can scan archives of any size.

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

  private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    bool open_ = false;
};

}  // namespace vantrel::ziplib
