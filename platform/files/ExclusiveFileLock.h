#pragma once
// An exclusive lock on a guard file, held for the object's life: threads and processes that lock
// the same guard file take turns. The guard file is created when missing and never deleted, so
// every locker locks the same file.

#include <string_view>

namespace vantrel::platform {

class ExclusiveFileLock {
  public:
    // Blocks until the lock on the guard file (a Windows path) is held, or fails at once when the
    // file cannot be opened; Held() tells which.
    explicit ExclusiveFileLock(std::string_view windowsPath);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace vantrel::platform
