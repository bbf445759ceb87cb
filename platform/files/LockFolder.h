#pragma once
// The folder of the operation queue's lock files and guard, worked in through its descriptor
// alone: no name in it is followed as a link, and only ordinary files of the process's own user
// count as its files; what another account put there is neither read, counted nor removed.
//
// It is the folder VANTREL_QUEUE names: one the host made for itself at start and that no other
// account may use. Several hosts on one machine, and other processes that run operations, share a
// queue by naming the same folder. A process without the variable keeps its lock files in the
// component's temporary folder.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace vantrel::platform {

inline constexpr const char* kQueueFolderVariable = "VANTREL_QUEUE";

class LockFolder {
  public:
    // The folder VANTREL_QUEUE names, which must be a folder of the process's own user that nobody
    // else may use, and not a link; without the variable, the folder of the Windows path
    // fallbackFolder. nullopt when it cannot be opened or is not such a folder.
    static std::optional<LockFolder> OpenQueue(std::string_view fallbackFolder);

    // Makes folder (an absolute path) a queue folder of the process's own: created with mode 0700
    // beneath its parent, never through a link. A folder already there is used only when it is a
    // folder of the process's user that nobody else may use; its mode is never changed. Its parent
    // must be one that no other account can change, or the folder could be swapped. nullopt with
    // the reason in error.
    static std::optional<LockFolder> Create(const std::filesystem::path& folder,
                                            std::string& error);

    // The names of the process's own ordinary files that match the wildcard, sorted.
    std::vector<std::string> Find(std::string_view wildcard) const;
    // The beginning (at most limit bytes) of such a file; nullopt when name is not one.
    std::optional<std::string> Read(const std::string& name, size_t limit) const;
    // Creates name, or truncates it when it is such a file, and writes text into it. False, with
    // no file left, when it cannot.
    bool Write(const std::string& name, std::string_view text) const;
    // Removes such a file; false when name is not one or it stays.
    bool Remove(const std::string& name) const;

    int Fd() const { return fd_.Get(); }

  private:
    explicit LockFolder(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};

// An exclusive lock on a guard file of a lock folder, held for the object's life: threads and
// processes that lock the same guard take turns. The guard file is made when missing and never
// removed, so every locker locks the same file.
class FolderGuard {
  public:
    // Waits for the guard until deadline at most. Held() tells whether it was taken; when not,
    // TimedOut() tells whether another holder kept it past the deadline (else the guard file
    // could not be used at all).
    FolderGuard(const LockFolder& folder, const std::string& name,
                std::chrono::steady_clock::time_point deadline);
    ~FolderGuard();
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;

    bool Held() const { return fd_.IsOpen(); }
    bool TimedOut() const { return timedOut_; }

  private:
    UniqueFd fd_;
    bool timedOut_ = false;
};

}  // namespace vantrel::platform
