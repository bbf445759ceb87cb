#pragma once
// A file being written in a folder: unnamed where the file system allows it (O_TMPFILE), else
// under a temporary name; either way it reaches its own name only through LinkAs or Replace, and
// what never got there is gone when the object is. So no crash or failure ever leaves part of a
// file under a final name.

#include <sys/types.h>

#include <string>

#include "platform/files/UniqueFd.h"

namespace vantrel::ziplib {

class PendingFile {
  public:
    // A new file in the folder open as folder (which must stay open while this object lives),
    // with the permission bits mode (masked by the umask, as any new file's); see IsOpen.
    PendingFile(int folder, mode_t mode);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int Fd() const { return fd_.Get(); }
    // False, with errno set, when the file could not be made.
    bool IsOpen() const { return fd_.IsOpen(); }

    // Gives the file the name leaf, only where nothing is; false with errno set (EEXIST when
    // something is there).
    bool LinkAs(const std::string& leaf);
    // Puts the file in the place of whatever file is at leaf, in one rename.
    bool Replace(const std::string& leaf);

  private:
    bool LinkUnnamed(const std::string& name);

    int folder_;
    platform::UniqueFd fd_;
    std::string temporary_;  // empty: unnamed, or named at last
};

}  // namespace vantrel::ziplib
