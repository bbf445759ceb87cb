#include "platform/files/LockFolder.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/files/ConfinedPath.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kQueueFolderMode = 0700;

// The threads of this process take turns here before they try the guard file, so that they wait
// for each other on a condition rather than by retrying.
class GuardTurn {
  public:
    bool Take(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (!free_.wait_until(lock, deadline, [this] { return !taken_; })) {
            return false;
        }
        taken_ = true;
        return true;
    }
    void Give() {
        {
            std::lock_guard lock(mutex_);
            taken_ = false;
        }
        free_.notify_one();
    }

  private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool taken_ = false;
};

GuardTurn g_guardTurn;

bool IsOwnFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

bool IsOwnClosedFolder(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// A folder that only root or this process's user may change, or one where nobody may remove or
// rename what others made (sticky, like /tmp).
bool OthersCannotSwapEntries(const struct stat& info) {
    bool trustedOwner = info.st_uid == 0 || info.st_uid == ::geteuid();
    bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return trustedOwner && (!othersWrite || (info.st_mode & S_ISVTX) != 0);
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The guard file name in folder, opened and locked; empty when it cannot be, timedOut telling
// whether another holder kept it past the deadline.
UniqueFd LockGuardFile(int folder, const std::string& name,
                       std::chrono::steady_clock::time_point deadline, bool& timedOut) {
    // Reading is enough to lock, so every account that may read the guard file takes part,
    // whoever made it.
    UniqueFd fd(::openat(folder, name.c_str(),
                         O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    struct stat info {};
    if (!fd || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    // Another process holds the guard only for the moment of a look; one that keeps it longer
    // makes this request wait until its deadline, never beyond.
    while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return {};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return fd;
}

}  // namespace

std::optional<LockFolder> LockFolder::OpenQueue(std::string_view fallbackFolder) {
    if (const char* path = std::getenv(kQueueFolderVariable); path && *path) {
        UniqueFd fd(::open(path, kOpenFolder));
        struct stat info {};
        if (!fd || ::fstat(fd.Get(), &info) != 0 || !IsOwnClosedFolder(info)) {
            return std::nullopt;
        }
        return LockFolder(std::move(fd));
    }
    ConfinedPath folder;
    if (ConfinedPath::Open(fallbackFolder, PathIntent::Folder, folder) != PathStatus::Ok) {
        return std::nullopt;
    }
    UniqueFd fd(::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd ? std::optional(LockFolder(std::move(fd))) : std::nullopt;
}

std::optional<LockFolder> LockFolder::Create(const fs::path& folder, std::string& error) {
    std::string name = folder.filename().string();
    if (!folder.is_absolute() || name.empty() || name == "." || name == "..") {
        error = "the queue folder must be an absolute path, not " + folder.string();
        return std::nullopt;
    }
    std::error_code ec;
    fs::create_directories(folder.parent_path(), ec);
    UniqueFd parent(::open(folder.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat parentInfo {};
    if (!parent || ::fstat(parent.Get(), &parentInfo) != 0) {
        error = "cannot open " + folder.parent_path().string() + " to make the queue folder in";
        return std::nullopt;
    }
    if (!OthersCannotSwapEntries(parentInfo)) {
        error = "the queue folder " + folder.string() + " lies in " +
                folder.parent_path().string() +
                ", which other accounts may change; choose a folder only root or this account "
                "may change (--queue-folder)";
        return std::nullopt;
    }
    bool made = ::mkdirat(parent.Get(), name.c_str(), kQueueFolderMode) == 0;
    UniqueFd fd(::openat(parent.Get(), name.c_str(), kOpenFolder));
    struct stat info {};
    if (!fd || ::fstat(fd.Get(), &info) != 0) {
        error = "cannot make the queue folder " + folder.string() +
                (errno == ELOOP || errno == ENOTDIR ? ": a link or a file lies there" : "");
        return std::nullopt;
    }
    if (made && info.st_uid == ::geteuid() && (info.st_mode & 07777) != kQueueFolderMode) {
        ::fchmod(fd.Get(), kQueueFolderMode);  // the umask may have taken the owner's bits
        ::fstat(fd.Get(), &info);
    }
    if (!IsOwnClosedFolder(info)) {
        error = "the queue folder " + folder.string() + " (owner uid " +
                std::to_string(info.st_uid) + ", mode " + ModeText(info.st_mode) +
                ") must belong to this account (uid " + std::to_string(::geteuid()) +
                ") and be closed to everyone else; the host does not change a folder it did "
                "not make";
        return std::nullopt;
    }
    return LockFolder(std::move(fd));
}

std::vector<std::string> LockFolder::Find(std::string_view wildcard) const {
    std::vector<std::string> names;
    for (auto& entry : ReadFolderEntries(Fd())) {
        struct stat info {};
        if (WildcardMatch(wildcard, entry.name) &&
            ::fstatat(Fd(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            IsOwnFile(info)) {
            names.push_back(std::move(entry.name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> LockFolder::Read(const std::string& name, size_t limit) const {
    UniqueFd fd(::openat(Fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.Get(), &info) != 0 || !IsOwnFile(info)) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    ssize_t got = ::read(fd.Get(), text.data(), limit);
    if (got < 0) {
        return std::nullopt;
    }
    text.resize(static_cast<size_t>(got));
    return text;
}

bool LockFolder::Write(const std::string& name, std::string_view text) const {
    struct stat info {};
    bool exists = ::fstatat(Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !IsOwnFile(info)) {
        return false;
    }
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (exists ? O_TRUNC : O_EXCL);
    UniqueFd fd(::openat(Fd(), name.c_str(), flags, 0644));
    if (!fd) {
        return false;
    }
    bool written = ::write(fd.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd.Release()) != 0 || !written) {
        ::unlinkat(Fd(), name.c_str(), 0);
        return false;
    }
    return true;
}

bool LockFolder::Remove(const std::string& name) const {
    struct stat info {};
    return ::fstatat(Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && IsOwnFile(info) &&
           ::unlinkat(Fd(), name.c_str(), 0) == 0;
}

FolderGuard::FolderGuard(const LockFolder& folder, const std::string& name,
                         std::chrono::steady_clock::time_point deadline) {
    if (!g_guardTurn.Take(deadline)) {
        timedOut_ = true;
        return;
    }
    fd_ = LockGuardFile(folder.Fd(), name, deadline, timedOut_);
    if (!fd_) {
        g_guardTurn.Give();
    }
}

FolderGuard::~FolderGuard() {
    if (fd_) {
        fd_.Reset();  // closing the only descriptor releases the lock
        g_guardTurn.Give();
    }
}

}  // namespace vantrel::platform
