#include "platform/ziplib/TargetFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A refusal for a symbolic link on the way, a creation error for anything else.
int32_t StatusOfBlockedName(int folder, const std::string& name) {
    struct stat info {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        return LSZIP_E_REFUSED;
    }
    return LSZIP_E_CREATE;
}

std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".lsz-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Opens (or creates) the folder name in folder; -1 with code set when it cannot.
int OpenChildFolder(int folder, const std::string& name, bool create, int32_t& code) {
    int next = openat(folder, name.c_str(), kFolderFlags);
    if (next < 0 && errno == ENOENT && create && mkdirat(folder, name.c_str(), 0777) == 0) {
        next = openat(folder, name.c_str(), kFolderFlags);
    }
    if (next < 0) {
        code = errno == ENOENT ? LSZIP_E_NOT_MATCHED : StatusOfBlockedName(folder, name);
    }
    return next;
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
}

bool TargetFolder::IsKept(const struct stat& info) const {
    for (const auto& kept : keep_) {
        if (platform::SameFile(info, kept)) {
            return true;
        }
    }
    return false;
}

int TargetFolder::OpenFolder(const std::vector<std::string>& segments, size_t count, bool create,
                             int32_t& code) {
    size_t kept = 0;
    while (kept < chain_.size() && kept < count && chainNames_[kept] == segments[kept]) {
        ++kept;
    }
    chain_.resize(kept);
    chainNames_.resize(kept);
    while (chain_.size() < count) {
        int folder = chain_.empty() ? fd_ : chain_.back().Get();
        const std::string& name = segments[chain_.size()];
        platform::UniqueFd next(OpenChildFolder(folder, name, create, code));
        if (!next) {
            return -1;
        }
        chain_.push_back(std::move(next));
        chainNames_.push_back(name);
    }
    return count == 0 ? fd_ : chain_[count - 1].Get();
}

int32_t TargetFolder::MakeFolders(const std::vector<std::string>& segments) {
    if (!reserve_.Admit(0)) {
        return LSZIP_E_DISK_FULL;
    }
    int32_t code = LSZIP_OK;
    OpenFolder(segments, segments.size(), true, code);
    return code;
}

int64_t TargetFolder::Existing(const std::vector<std::string>& segments, std::time_t* modified) {
    int32_t code = LSZIP_OK;
    int parent = OpenFolder(segments, segments.size() - 1, false, code);
    if (parent < 0) {
        return code == LSZIP_E_NOT_MATCHED ? 0 : -1;
    }
    struct stat info {};
    if (fstatat(parent, segments.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? 0 : -1;
    }
    if (S_ISLNK(info.st_mode)) {
        return -1;
    }
    if (modified) {
        *modified = info.st_mtime;
    }
    return info.st_mode;
}

int32_t TargetFolder::Fill(int fd, std::time_t modified, mode_t mode,
                           const std::function<int32_t(const Writer&)>& produce) {
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
    int32_t code = produce(writer);
    if (writeError) {
        bool full = writeError == ENOSPC || writeError == EDQUOT;
        code = full ? LSZIP_E_DISK_FULL : LSZIP_E_CREATE;
    }
    if (code == LSZIP_OK) {
        if (mode) {
            fchmod(fd, mode);
        }
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
    }
    return code;
}

int32_t TargetFolder::WriteNewFile(int parent, const std::string& leaf, int fd,
                                   std::time_t modified, mode_t mode,
                                   const std::function<int32_t(const Writer&)>& produce) {
    int32_t code = Fill(fd, modified, mode, produce);
    struct stat created {};
    bool known = code != LSZIP_OK && fstat(fd, &created) == 0;
    if (close(fd) != 0 && code == LSZIP_OK) {
        code = LSZIP_E_CREATE;
        known = false;
    }
    if (code != LSZIP_OK) {
        // Only the file made here goes, never one put in its place since.
        struct stat now {};
        if (!known || (fstatat(parent, leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                       platform::SameFile(now, created))) {
            unlinkat(parent, leaf.c_str(), 0);
        }
    }
    return code;
}

int32_t TargetFolder::ReplaceFile(int parent, const std::string& leaf, std::time_t modified,
                                  mode_t mode,
                                  const std::function<int32_t(const Writer&)>& produce) {
    struct stat info {};
    if (fstatat(parent, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISLNK(info.st_mode) || S_ISDIR(info.st_mode) || IsKept(info))) {
        return S_ISDIR(info.st_mode) ? LSZIP_E_CREATE : LSZIP_E_REFUSED;
    }
    std::string temporary = TemporaryName();
    int fd = openat(parent, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
    if (fd < 0) {
        return LSZIP_E_CREATE;
    }
    int32_t code = Fill(fd, modified, mode, produce);
    if (close(fd) != 0 && code == LSZIP_OK) {
        code = LSZIP_E_CREATE;
    }
    // Looked at again right before the rename: a kept file moved here meanwhile stays too.
    if (code == LSZIP_OK && fstatat(parent, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        IsKept(info)) {
        code = LSZIP_E_REFUSED;
    }
    if (code == LSZIP_OK && renameat(parent, temporary.c_str(), parent, leaf.c_str()) != 0) {
        code = LSZIP_E_CREATE;
    }
    if (code != LSZIP_OK) {
        unlinkat(parent, temporary.c_str(), 0);
    }
    return code;
}

int32_t TargetFolder::WriteFile(const std::vector<std::string>& segments, std::time_t modified,
                                mode_t mode, const std::function<int32_t(const Writer&)>& produce) {
    int32_t code = LSZIP_OK;
    int parent = OpenFolder(segments, segments.size() - 1, true, code);
    if (parent < 0) {
        return code;
    }
    if (!reserve_.Admit(0)) {
        return LSZIP_E_DISK_FULL;
    }
    const std::string& leaf = segments.back();
    // Where nothing is yet, the file is made under its own name: exclusively, so a link, a
    // folder or an archive being read found there (or put there meanwhile) is never written.
    int fd =
        openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        return WriteNewFile(parent, leaf, fd, modified, mode, produce);
    }
    if (errno != EEXIST) {
        return StatusOfBlockedName(parent, leaf);
    }
    return ReplaceFile(parent, leaf, modified, mode, produce);
}

void TargetFolder::SetFolderTime(const std::vector<std::string>& segments, std::time_t modified) {
    int32_t code = LSZIP_OK;
    int fd = OpenFolder(segments, segments.size(), false, code);
    if (fd >= 0) {
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
    }
}

}  // namespace vantrel::ziplib
