#pragma once
// The folder extraction writes into, reached only through directory handles opened without
// following symbolic links: a name that would pass through a link is refused, and a file is
// written under a temporary name and renamed into place only when it is complete.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::ziplib {

class TargetFolder {
  public:
    // Creates the folder when missing; check IsOpen.
    explicit TargetFolder(const std::filesystem::path& folder);
    ~TargetFolder();
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

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
    // A handle of the folder holding the last segment (dup'ed from a cache, since consecutive
    // entries mostly share their folder); -1 with code set when it cannot be opened.
    int OpenParent(const std::vector<std::string>& segments, bool create, int32_t& code);

    int fd_ = -1;
    std::vector<std::string> cachedParent_;
    int cachedFd_ = -1;
};

}  // namespace vantrel::ziplib
