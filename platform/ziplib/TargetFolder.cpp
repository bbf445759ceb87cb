#include "platform/ziplib/TargetFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/ziplib/StatusCodes.h"

namespace vantrel::ziplib {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A refusal for a symbolic link on the way, a creation error for anything else.
int32_t StatusOfBlockedName(int folder, const std::string& name) {
    struct stat info {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        return status::kBadFileSpec;
    }
    return status::kCreateFile;
}

std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".lsz-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Opens the first count segments as folders below root; -1 with code set when it cannot.
int OpenFolders(int root, const std::vector<std::string>& segments, size_t count, bool create,
                int32_t& code) {
    int fd = dup(root);
    for (size_t i = 0; fd >= 0 && i < count; ++i) {
        const char* name = segments[i].c_str();
        int next = openat(fd, name, kFolderFlags);
        if (next < 0 && errno == ENOENT && create && mkdirat(fd, name, 0777) == 0) {
            next = openat(fd, name, kFolderFlags);
        }
        if (next < 0) {
            code = errno == ENOENT ? status::kNameNotMatched : StatusOfBlockedName(fd, segments[i]);
        }
        close(fd);
        fd = next;
    }
    return fd;
}

}  // namespace

TargetFolder::TargetFolder(const platform::ConfinedPath& folder, std::vector<struct stat> keep)
    : fd_(fcntl(folder.Fd(), F_DUPFD_CLOEXEC, 0)),
      realPath_(folder.RealPath()),
      keep_(std::move(keep)),
      reserve_(fd_) {}

std::string TargetFolder::RealPathOf(const std::vector<std::string>& segments, bool folder) const {
    std::string path = realPath_;
    for (size_t i = 0; i < segments.size(); ++i) {
        path += (i == 0 ? "" : "\\") + segments[i];
    }
    return folder ? path + "\\" : path;
}

TargetFolder::~TargetFolder() {
    if (fd_ >= 0) {
        close(fd_);
    }
    if (cachedFd_ >= 0) {
        close(cachedFd_);
    }
}

bool TargetFolder::IsKept(const struct stat& info) const {
    for (const auto& kept : keep_) {
        if (platform::SameFile(info, kept)) {
            return true;
        }
    }
    return false;
}

int TargetFolder::OpenParent(const std::vector<std::string>& segments, bool create, int32_t& code) {
    std::vector<std::string> parent(segments.begin(), segments.end() - 1);
    if (cachedFd_ < 0 || parent != cachedParent_) {
        int fd = OpenFolders(fd_, segments, parent.size(), create, code);
        if (fd < 0) {
            return -1;
        }
        if (cachedFd_ >= 0) {
            close(cachedFd_);
        }
        cachedFd_ = fd;
        cachedParent_ = std::move(parent);
    }
    return dup(cachedFd_);
}

int32_t TargetFolder::MakeFolders(const std::vector<std::string>& segments) {
    if (!reserve_.Admit(0)) {
        return status::kDiskFull;
    }
    int32_t code = status::kOk;
    int fd = OpenFolders(fd_, segments, segments.size(), true, code);
    if (fd >= 0) {
        close(fd);
    }
    return code;
}

int64_t TargetFolder::Existing(const std::vector<std::string>& segments, std::time_t* modified) {
    int32_t code = status::kOk;
    int parent = OpenParent(segments, false, code);
    if (parent < 0) {
        return code == status::kNameNotMatched ? 0 : -1;
    }
    struct stat info {};
    int result = fstatat(parent, segments.back().c_str(), &info, AT_SYMLINK_NOFOLLOW);
    int error = errno;
    close(parent);
    if (result != 0) {
        return error == ENOENT ? 0 : -1;
    }
    if (S_ISLNK(info.st_mode)) {
        return -1;
    }
    if (modified) {
        *modified = info.st_mtime;
    }
    return info.st_mode;
}

int32_t TargetFolder::WriteFile(const std::vector<std::string>& segments, std::time_t modified,
                                mode_t mode, const std::function<int32_t(const Writer&)>& produce) {
    int32_t code = status::kOk;
    int parent = OpenParent(segments, true, code);
    if (parent < 0) {
        return code;
    }
    const std::string& leaf = segments.back();
    struct stat info {};
    if (fstatat(parent, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISLNK(info.st_mode) || S_ISDIR(info.st_mode) || IsKept(info))) {
        close(parent);
        return S_ISDIR(info.st_mode) ? status::kCreateFile : status::kBadFileSpec;
    }
    if (!reserve_.Admit(0)) {
        close(parent);
        return status::kDiskFull;
    }
    std::string temporary = TemporaryName();
    int fd = openat(parent, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
    if (fd < 0) {
        close(parent);
        return status::kCreateFile;
    }
    int writeError = 0;
    Writer writer = [&](const char* data, size_t size) {
        if (!reserve_.Admit(size)) {
            writeError = ENOSPC;  // the free space would fall below its reserve
            return false;
        }
        while (size > 0) {
            ssize_t written = write(fd, data, size);
            if (written <= 0) {
                writeError = errno ? errno : EIO;
                return false;
            }
            data += written;
            size -= static_cast<size_t>(written);
        }
        return true;
    };
    code = produce(writer);
    if (writeError) {
        bool full = writeError == ENOSPC || writeError == EDQUOT;
        code = full ? status::kDiskFull : status::kCreateFile;
    }
    if (code == status::kOk) {
        if (mode) {
            fchmod(fd, mode);
        }
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
    }
    if (close(fd) != 0 && code == status::kOk) {
        code = status::kCreateFile;
    }
    // Looked at again right before the rename: a kept file moved here meanwhile stays too.
    if (code == status::kOk && fstatat(parent, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        IsKept(info)) {
        code = status::kBadFileSpec;
    }
    if (code == status::kOk && renameat(parent, temporary.c_str(), parent, leaf.c_str()) != 0) {
        code = status::kCreateFile;
    }
    if (code != status::kOk) {
        unlinkat(parent, temporary.c_str(), 0);
    }
    close(parent);
    return code;
}

void TargetFolder::SetFolderTime(const std::vector<std::string>& segments, std::time_t modified) {
    int32_t code = status::kOk;
    int fd = OpenFolders(fd_, segments, segments.size(), false, code);
    if (fd >= 0) {
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
        close(fd);
    }
}

}  // namespace vantrel::ziplib
