#pragma once
// The folder extraction writes into, reached only through directory handles opened without
// following symbolic links: a name that would pass through a link is refused. A file that did not
// exist is created exclusively under its own name (so nothing else can be there) and removed
// again when it cannot be finished; one that replaces an existing file is written under a
// temporary name and renamed into place only when it is complete. Files it must never replace
// (the archives being read) are refused by identity, whatever their name, and writing stops
// before the file system's free space would fall below its reserve.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/files/ConfinedPath.h"
#include "platform/files/FreeSpaceReserve.h"

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

    // What lies at segments now: 0 when nothing, else the stat mode; -1 when the way there
    // passes through a symbolic link or cannot be read.
    int64_t Existing(const std::vector<std::string>& segments, std::time_t* modified);

    // Writes a file at segments: produce(write) is called with a function that appends bytes
    // and returns false on a write error; produce returns a status code. Nothing is left behind
    // unless produce succeeds. mode 0 keeps the default permissions.
    using Writer = std::function<bool(const char*, size_t)>;
    int32_t WriteFile(const std::vector<std::string>& segments, std::time_t modified, mode_t mode,
                      const std::function<int32_t(const Writer&)>& produce);

    // Sets the time of a folder made by MakeFolders.
    void SetFolderTime(const std::vector<std::string>& segments, std::time_t modified);

  private:
    bool IsKept(const struct stat& info) const;
    // The handle of the folder after the first count segments, kept open with the folders on the
    // way (consecutive entries mostly share their folders, so each is opened once); -1 with code
    // set when it cannot be opened. Valid until the next call.
    int OpenFolder(const std::vector<std::string>& segments, size_t count, bool create,
                   int32_t& code);
    int32_t WriteNewFile(int parent, const std::string& leaf, int fd, std::time_t modified,
                         mode_t mode, const std::function<int32_t(const Writer&)>& produce);
    int32_t ReplaceFile(int parent, const std::string& leaf, std::time_t modified, mode_t mode,
                        const std::function<int32_t(const Writer&)>& produce);
    // Writes what produce gives into fd and, when it succeeded, sets the file's mode and time.
    int32_t Fill(int fd, std::time_t modified, mode_t mode,
                 const std::function<int32_t(const Writer&)>& produce);

    int fd_ = -1;
    std::string realPath_;
    std::vector<struct stat> keep_;
    platform::FreeSpaceReserve reserve_;
    std::vector<std::string> chainNames_;
    std::vector<platform::UniqueFd> chain_;  // chain_[i] is the folder after chainNames_[0..i]
};

}  // namespace vantrel::ziplib
