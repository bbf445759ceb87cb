#include "platform/ziplib/TargetFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/files/TemporaryFiles.h"
#include "platform/ziplib/PendingFile.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kDefaultMode = 0666;

// A refusal for a symbolic link on the way, a creation error for anything else.
int32_t StatusOfBlockedName(int folder, const std::string& name) {
    struct stat info {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        return LSZIP_E_REFUSED;
    }
    return LSZIP_E_CREATE;
}

// Opens (or creates) the folder name in folder; -1 with code set when it cannot. made tells
// whether it was created here.
int OpenChildFolder(int folder, const std::string& name, bool create, int32_t& code, bool& made) {
    int next = openat(folder, name.c_str(), kFolderFlags);
    made = false;
    if (next < 0 && errno == ENOENT && create && mkdirat(folder, name.c_str(), 0777) == 0) {
        made = true;
        next = openat(folder, name.c_str(), kFolderFlags);
    }
    if (next < 0) {
        int error = errno;
        code = error == ENOENT ? LSZIP_E_NOT_MATCHED : StatusOfBlockedName(folder, name);
        errno = error;
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
    chainSwept_.resize(kept);
    while (chain_.size() < count) {
        int folder = chain_.empty() ? fd_ : chain_.back().Get();
        const std::string& name = segments[chain_.size()];
        bool made = false;
        platform::UniqueFd next(OpenChildFolder(folder, name, create, code, made));
        if (!next) {
            lastError_ = errno;
            return -1;
        }
        struct stat info {};
        if (made && fstat(next.Get(), &info) == 0) {
            created_.emplace(info.st_dev, info.st_ino);
        }
        chain_.push_back(std::move(next));
        chainNames_.push_back(name);
        chainSwept_.push_back(made);
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

int32_t TargetFolder::Failed(int32_t code, int error) {
    lastError_ = error;
    return code;
}

void TargetFolder::SweepOnce(size_t count) {
    // Called right after OpenFolder opened the first count segments.
    if (count == 0 ? rootSwept_ : chainSwept_[count - 1]) {
        return;
    }
    int folder = count == 0 ? fd_ : chain_[count - 1].Get();
    if (count == 0) {
        rootSwept_ = true;
    } else {
        chainSwept_[count - 1] = true;
    }
    struct stat info {};
    if (fstat(folder, &info) == 0 && swept_.insert({info.st_dev, info.st_ino}).second) {
        platform::RemoveDeadTemporaries(folder);
    }
}

int32_t TargetFolder::Fill(int fd, std::time_t modified,
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
        code = Failed(full ? LSZIP_E_DISK_FULL : LSZIP_E_CREATE, writeError);
    }
    if (code == LSZIP_OK) {
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
    }
    return code;
}

int32_t TargetFolder::CheckReplaceable(const struct stat& found) const {
    if (S_ISLNK(found.st_mode) || IsKept(found)) {
        return LSZIP_E_REFUSED;
    }
    return S_ISREG(found.st_mode) ? LSZIP_OK : LSZIP_E_CREATE;
}

int32_t TargetFolder::WriteFile(const std::vector<std::string>& segments, std::time_t modified,
                                mode_t mode, const std::function<int32_t(const Writer&)>& produce) {
    lastError_ = 0;
    int32_t code = LSZIP_OK;
    int parent = OpenFolder(segments, segments.size() - 1, true, code);
    if (parent < 0) {
        return code;
    }
    if (!reserve_.Admit(0)) {
        return LSZIP_E_DISK_FULL;
    }
    SweepOnce(segments.size() - 1);
    PendingFile file(parent, (mode & 0777) ? (mode & 0777) : kDefaultMode);
    if (!file.IsOpen()) {
        return Failed(LSZIP_E_CREATE, errno);
    }
    if ((code = Fill(file.Fd(), modified, produce)) != LSZIP_OK) {
        return code;
    }
    return Name(file, parent, segments.back());
}

int32_t TargetFolder::Name(PendingFile& file, int parent, const std::string& leaf) {
    // The file takes its name only while nothing is there (most often nothing is): a link, a
    // folder or an archive being read is never written through.
    if (file.LinkAs(leaf)) {
        return LSZIP_OK;
    }
    struct stat found {};
    if (errno != EEXIST || fstatat(parent, leaf.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
        return Failed(StatusOfBlockedName(parent, leaf), errno);
    }
    // What is there is looked at right before the rename: only a regular file that is none of
    // the kept ones is replaced.
    int32_t code = CheckReplaceable(found);
    if (code != LSZIP_OK) {
        return code;
    }
    // The replacement is the file it replaces with new contents: same permissions, same owner
    // (and group, where the account may give it). Another account's file, which this one cannot
    // give back to its owner, is not replaced.
    struct stat own {};
    if (fstat(file.Fd(), &own) == 0 && own.st_uid != found.st_uid &&
        fchown(file.Fd(), found.st_uid, found.st_gid) != 0) {
        return Failed(LSZIP_E_CREATE, errno);
    }
    if (own.st_gid != found.st_gid) {
        // Best kept: an account that may not give the file this group leaves it its own.
        [[maybe_unused]] int kept = fchown(file.Fd(), static_cast<uid_t>(-1), found.st_gid);
    }
    fchmod(file.Fd(), found.st_mode & 0777);
    return file.Replace(leaf) ? LSZIP_OK : Failed(LSZIP_E_CREATE, errno);
}

void TargetFolder::SetFolderTime(const std::vector<std::string>& segments, std::time_t modified) {
    int32_t code = LSZIP_OK;
    int fd = OpenFolder(segments, segments.size(), false, code);
    if (fd >= 0) {
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(fd, times);
    }
}

void TargetFolder::SetFolderMode(const std::vector<std::string>& segments, mode_t mode) {
    int32_t code = LSZIP_OK;
    int fd = OpenFolder(segments, segments.size(), false, code);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !created_.count({info.st_dev, info.st_ino})) {
        return;
    }
    // Made with every bit the umask leaves; of those, the stored ones stay. A set-group-id bit
    // came from the parent folder, not from the archive, and stays too.
    fchmod(fd, (info.st_mode & mode & 0777) | (info.st_mode & S_ISGID));
}

}  // namespace vantrel::ziplib
