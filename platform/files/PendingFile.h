#pragma once
// A file being written in a folder that gets its name only when it is complete, so that no crash
// or failure ever leaves part of a file under a final name. It is written unnamed (O_TMPFILE)
// where the file system allows it, else under a temporary name of this process (TemporaryFiles);
// either way it reaches its own name only through LinkAs or Replace, and what never got there is
// gone when the object is.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "platform/files/UniqueFd.h"

namespace vantrel::platform {

class PendingFile {
  public:
    // A new file in the folder open at folder (which stays open while this object lives), with
    // the permission bits mode (masked by the umask); IsOpen() is false, errno set, when it cannot
    // be created.
    PendingFile(int folder, mode_t mode);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int Fd() const { return fd_.Get(); }
    bool IsOpen() const { return fd_.IsOpen(); }

    // Gives the file the name leaf, only where nothing is; false with errno set (EEXIST when
    // something is there).
    bool LinkAs(const std::string& leaf);
    // Makes the file the one found at a name (a regular file it is to replace): the same
    // permission bits, owner and, where the account may give it, group. False with errno set when
    // the account cannot give the file back to its owner (another account's file).
    bool TakeOver(const struct stat& found);
    // Puts the file in the place of whatever file is at leaf, in one rename.
    bool Replace(const std::string& leaf);
    // Gives the written file a temporary name (an unnamed one gets one) and closes it, so that
    // many can wait for their own names without holding a descriptor each; LinkAs and Replace
    // still name it, and the object still removes it when it was not named. False with errno set
    // when it cannot be named.
    bool Stage();

  private:
    bool LinkUnnamed(const std::string& name);

    int folder_;
    UniqueFd fd_;
    std::string temporary_;  // empty: unnamed, or named at last
};

}  // namespace vantrel::platform
