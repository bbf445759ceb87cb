#pragma once
// The folder extraction writes into, reached only through directory handles opened without
// following symbolic links: a name that would pass through a link is refused. Every file is
// written without a name (O_TMPFILE; where the file system lacks it, under a temporary name) and
// gets its own name only when it is complete, so no crash or failure ever leaves part of a file
// under a final name. A file that did not exist is linked to its name, which fails when anything
// has appeared there meanwhile (so nothing else is ever written through); one that replaces an
// existing file takes its place in one rename, with the existing file's permissions and owner.
// Files it must never replace (the archives being read) are refused by identity, whatever their
// name, and writing stops before the file system's free space would fall below its reserve.
//
// New files and folders get the permission bits stored for them (setuid, setgid and sticky
// never), masked by the process's umask as any new file is.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/ConfinedPath.h"
#include "platform/files/FreeSpaceReserve.h"
#include "platform/ziplib/PendingFile.h"

namespace vantrel::ziplib {

class TargetFolder {
  public:
    // The folder opened (see ConfinedPath); never replaces the files described in keep.
    TargetFolder(const platform::ConfinedPath& folder, std::vector<struct stat> keep);
    ~TargetFolder();
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The folder's real location, ending in "\".
    const std::string& RealPath() const { return realPath_; }
    // The real location of segments below it (a folder's ends in "\").
    std::string RealPathOf(const std::vector<std::string>& segments, bool folder) const;

    // Opens (creating) the folders of segments; returns a status code.
    int32_t MakeFolders(const std::vector<std::string>& segments);
    // The file system's reason (errno) for the last failure of MakeFolders or WriteFile; 0 when
    // it was none of the system's.
    int LastError() const { return lastError_; }

    // What lies at segments now: 0 when nothing, else the stat mode; -1 when the way there
    // passes through a symbolic link or cannot be read.
    int64_t Existing(const std::vector<std::string>& segments, std::time_t* modified);

    // Writes a file at segments: produce(write) is called with a function that appends bytes
    // and returns false on a write error; produce returns a status code. Nothing is left behind
    // unless produce succeeds. mode: the permission bits of a new file (0: the default, 0666).
    using Writer = std::function<bool(const char*, size_t)>;
    int32_t WriteFile(const std::vector<std::string>& segments, std::time_t modified, mode_t mode,
                      const std::function<int32_t(const Writer&)>& produce);

    // Sets the time of a folder made by MakeFolders.
    void SetFolderTime(const std::vector<std::string>& segments, std::time_t modified);
    // Gives a folder this extraction created the permission bits stored for it (masked as when
    // it was made); a folder that existed before keeps its own. Meant for the end, when nothing
    // more is written into it.
    void SetFolderMode(const std::vector<std::string>& segments, mode_t mode);

  private:
    bool IsKept(const struct stat& info) const;
    // Gives a finished file its name leaf in parent, or the place of the file there; a status
    // code.
    int32_t Name(PendingFile& file, int parent, const std::string& leaf);
    // Whether a finished file may replace the one found at its name; a status code.
    int32_t CheckReplaceable(const struct stat& found) const;
    // The handle of the folder after the first count segments, kept open with the folders on the
    // way (consecutive entries mostly share their folders, so each is opened once); -1 with code
    // set when it cannot be opened. Valid until the next call.
    int OpenFolder(const std::vector<std::string>& segments, size_t count, bool create,
                   int32_t& code);
    // Writes what produce gives into fd and, when it succeeded, sets the file's time.
    int32_t Fill(int fd, std::time_t modified,
                 const std::function<int32_t(const Writer&)>& produce);
    int32_t Failed(int32_t code, int error);
    // Removes what a crashed extraction left in the folder OpenFolder has just opened for the
    // first count segments, the first time this one writes there (a folder it made holds
    // nothing to remove).
    void SweepOnce(size_t count);

    int fd_ = -1;
    std::string realPath_;
    std::vector<struct stat> keep_;
    std::set<std::pair<dev_t, ino_t>> created_;  // the folders this extraction made
    std::set<std::pair<dev_t, ino_t>> swept_;
    int lastError_ = 0;
    platform::FreeSpaceReserve reserve_;
    std::vector<std::string> chainNames_;
    std::vector<platform::UniqueFd> chain_;  // chain_[i] is the folder after chainNames_[0..i]
    std::vector<bool> chainSwept_;           // beside chain_: swept, or made by this extraction
    bool rootSwept_ = false;
};

}  // namespace vantrel::ziplib
