#include "platform/files/ConfinedPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <optional>
#include <vector>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/FolderEntries.h"
#include "platform/text/CaseFolding.h"

namespace vantrel::platform {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit
constexpr int kPathOnly = O_PATH | O_NOFOLLOW | O_CLOEXEC;
constexpr int kReadFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kReadFile = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

struct DriveRoot {
    char letter = 0;
    UniqueFd fd;
    std::string linuxPath;  // the folder's real Linux path, to read absolute links against
};

PathStatus OpenDriveRoot(char letter, DriveRoot& root) {
    auto map = DriveMap::FromEnvironment();
    const Drive* drive = map ? map->Find(letter) : nullptr;
    if (!drive) {
        return PathStatus::NoDrive;
    }
    root.letter = drive->letter;
    root.fd.Reset(::open(drive->folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.fd) {
        return PathStatusOf(errno);
    }
    char real[PATH_MAX];
    if (!::realpath(drive->folder.c_str(), real)) {
        return PathStatusOf(errno);
    }
    root.linuxPath = real;
    return PathStatus::Ok;
}

// The one name in folder that differs from name only in letter case; nullopt when there is none
// or more than one (then no name is more right than another).
std::optional<std::string> UniqueCaseVariant(int folder, const std::string& name) {
    std::optional<std::string> found;
    int matches = 0;
    for (auto& entry : ReadFolderEntries(folder)) {
        if (EqualsIgnoringCase(entry.name, name)) {
            found = std::move(entry.name);
            ++matches;
        }
    }
    return matches == 1 ? found : std::nullopt;
}

// A handle on name in folder that follows no link, trying the name's other spellings in letter
// case when it does not exist as given; actual receives the name found on disk.
UniqueFd OpenSegment(int folder, const std::string& name, std::string& actual) {
    UniqueFd fd(::openat(folder, name.c_str(), kPathOnly));
    actual = name;
    if (fd || errno != ENOENT) {
        return fd;
    }
    if (auto variant = UniqueCaseVariant(folder, name)) {
        actual = *variant;
        fd.Reset(::openat(folder, variant->c_str(), kPathOnly));
        return fd;
    }
    errno = ENOENT;
    return fd;
}

std::optional<std::string> ReadLink(int link) {
    std::string target(PATH_MAX, '\0');
    ssize_t length = ::readlinkat(link, "", target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
        return std::nullopt;
    }
    target.resize(static_cast<size_t>(length));
    return target;
}

// The account the calling thread acts as: its file user id, which a host running as root switches
// to the signed-in account's for each request.
uid_t ActingUid() {
    return static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1)));
}

// Whether the link described by link, lying in folder, may be followed (see the header).
bool MayFollow(const struct stat& link, int folder, PathUse use) {
    if (link.st_uid == ActingUid()) {
        return true;
    }
    if (use == PathUse::Write && link.st_uid != 0) {
        return false;
    }
    struct stat parent {};
    if (::fstat(folder, &parent) != 0) {
        return false;
    }
    bool shared = (parent.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    return !shared || link.st_uid == parent.st_uid;
}

std::vector<std::string> SplitLinuxPath(std::string_view path) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        end = end == std::string_view::npos ? path.size() : end;
        segments.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// A path's walk from its drive's root: the folders passed through, each still open, and what the
// last segment named. The walk stops at the first segment that does not exist.
class Resolution {
  public:
    Resolution(DriveRoot root, PathUse use) : root_(std::move(root)), use_(use) {
        folders_.push_back(root_.fd.Duplicate());
    }

    // Goes through segments up to the last, which is looked at but not entered (Leaf tells what
    // it is), or up to the first that does not exist (Missing holds it and the rest).
    PathStatus Walk(const std::vector<std::string>& segments) {
        std::deque<std::string> todo(segments.begin(), segments.end());
        int links = 0;
        while (!todo.empty()) {
            std::string name = std::move(todo.front());
            todo.pop_front();
            if (name.empty() || name == ".") {
                continue;
            }
            if (name == "..") {
                if (names_.empty()) {
                    return Stop(PathStatus::OutsideDrive, name, todo);
                }
                folders_.pop_back();
                names_.pop_back();
                continue;
            }
            if (!IsWindowsName(name)) {
                return Stop(PathStatus::Unusable, name, todo);
            }
            std::string actual;
            UniqueFd fd = OpenSegment(Folder(), name, actual);
            if (!fd) {
                // A missing segment ends a sound walk: what follows may be created.
                PathStatus status = errno == ENOENT ? PathStatus::Ok : PathStatusOf(errno);
                return Stop(status, name, todo);
            }
            struct stat info {};
            if (::fstat(fd.Get(), &info) != 0) {
                return Stop(PathStatusOf(errno), name, todo);
            }
            if (S_ISLNK(info.st_mode)) {
                if (!MayFollow(info, Folder(), use_)) {
                    return Stop(PathStatus::Denied, name, todo);
                }
                if (++links > kMaxLinks) {
                    return Stop(PathStatus::Unusable, name, todo);
                }
                if (PathStatus status = FollowLink(fd.Get(), todo); status != PathStatus::Ok) {
                    return Stop(status, name, todo);
                }
                continue;
            }
            if (todo.empty()) {
                leafName_ = actual;
                leaf_ = std::move(fd);
                leafInfo_ = info;
                return PathStatus::Ok;
            }
            if (!S_ISDIR(info.st_mode)) {
                return Stop(PathStatus::WrongKind, name, todo);
            }
            folders_.push_back(std::move(fd));
            names_.push_back(actual);
        }
        return PathStatus::Ok;  // the path named the drive's root
    }

    // The segments from the first missing one on; empty when everything exists. After a failed
    // walk: the segments from the one it could not pass.
    const std::vector<std::string>& Missing() const { return missing_; }

    // Creates the missing segments as folders and enters them; a link found in their place (put
    // there since the walk) is refused. Afterwards the last of them is the leaf.
    PathStatus CreateMissing() {
        for (size_t i = 0; i < missing_.size(); ++i) {
            const std::string& name = missing_[i];
            if (!IsWindowsName(name)) {
                return PathStatus::Unusable;
            }
            if (::mkdirat(Folder(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                return PathStatusOf(errno);
            }
            UniqueFd fd(
                ::openat(Folder(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!fd) {
                return errno == ENOTDIR || errno == ELOOP ? PathStatus::Unusable
                                                          : PathStatusOf(errno);
            }
            if (i + 1 == missing_.size()) {
                leafName_ = name;
                ::fstat(fd.Get(), &leafInfo_);
                leaf_ = std::move(fd);
            } else {
                folders_.push_back(std::move(fd));
                names_.push_back(name);
            }
        }
        missing_.clear();
        return PathStatus::Ok;
    }

    // The folder holding the last segment (the root when the path named the root itself).
    int Folder() const { return folders_.back().Get(); }
    // The last segment's name ("" for the root), and whether something lies there.
    const std::string& LeafName() const { return leafName_; }
    bool LeafExists() const { return leaf_.IsOpen(); }
    const struct stat& LeafInfo() const { return leafInfo_; }
    bool NamesRoot() const { return leafName_.empty() && missing_.empty(); }

    // "c:\real\folder\" of the folder holding the last segment.
    std::string FolderRealPath() const {
        std::string path{root_.letter, ':', '\\'};
        for (const auto& name : names_) {
            path += name + "\\";
        }
        return path;
    }
    // The real location the whole path names, missing segments as given.
    std::string RealPath(bool folder) const {
        std::string path = FolderRealPath() + leafName_;
        for (size_t i = 0; i < missing_.size(); ++i) {
            path += (i == 0 ? "" : "\\") + missing_[i];
        }
        if (folder && path.back() != '\\') {
            path += '\\';
        }
        return path;
    }

  private:
    // Ends the walk at name, keeping it and what remains as the part not walked.
    PathStatus Stop(PathStatus status, std::string name, const std::deque<std::string>& todo) {
        missing_.push_back(std::move(name));
        missing_.insert(missing_.end(), todo.begin(), todo.end());
        return status;
    }

    // Puts the link's target in front of what remains to walk.
    PathStatus FollowLink(int link, std::deque<std::string>& todo) {
        auto target = ReadLink(link);
        if (!target) {
            return PathStatus::Unusable;
        }
        std::string_view rest = *target;
        if (rest.front() == '/') {
            std::string_view rootPath = root_.linuxPath;
            bool inside = rest.substr(0, rootPath.size()) == rootPath &&
                          (rest.size() == rootPath.size() || rest[rootPath.size()] == '/');
            if (!inside) {
                return PathStatus::OutsideDrive;
            }
            rest.remove_prefix(rootPath.size());
            folders_.resize(1);
            names_.clear();
        }
        auto segments = SplitLinuxPath(rest);
        todo.insert(todo.begin(), segments.begin(), segments.end());
        return PathStatus::Ok;
    }

    DriveRoot root_;
    PathUse use_;
    std::vector<UniqueFd> folders_;
    std::vector<std::string> names_;
    std::vector<std::string> missing_;
    std::string leafName_;
    UniqueFd leaf_;
    struct stat leafInfo_ {};
};

// Parses the path, opens its drive and walks it.
PathStatus Resolve(std::string_view windowsPath, PathUse use, std::optional<Resolution>& walk) {
    if (!HasDriveLetter(windowsPath)) {
        return PathStatus::NoDrive;
    }
    auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed) {
        return PathStatus::OutsideDrive;
    }
    DriveRoot root;
    if (PathStatus status = OpenDriveRoot(parsed->drive, root); status != PathStatus::Ok) {
        return status;
    }
    walk.emplace(std::move(root), use);
    return walk->Walk(parsed->segments);
}

bool Allowed(const LocationCheck& check, const std::string& realPath) {
    return !check || check(realPath);
}

// A walk that failed is judged where it was heading before its failure is told.
PathStatus Unwalkable(PathStatus status, const std::optional<Resolution>& walk,
                      const LocationCheck& check) {
    return walk && !Allowed(check, walk->RealPath(false)) ? PathStatus::Refused : status;
}

// Opens a folder for listing, or only for going through when the account may not read it.
UniqueFd OpenFolderBeneath(int folder, const char* name) {
    UniqueFd fd(::openat(folder, name, kReadFolder));
    if (!fd && errno == EACCES) {
        fd.Reset(::openat(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return fd;
}

// The folder name in folder opened for use, which must still be the folder seen.
UniqueFd ReopenFolder(int folder, const std::string& name, const struct stat& seen) {
    UniqueFd fd = OpenFolderBeneath(folder, name.c_str());
    struct stat now {};
    if (fd && (::fstat(fd.Get(), &now) != 0 || !SameFile(now, seen))) {
        errno = ESTALE;  // swapped since it was looked at
        fd.Reset();
    }
    return fd;
}

// The regular file name in folder opened for reading, which must still be the file seen.
UniqueFd ReopenFileForReading(int folder, const std::string& name, const struct stat& seen) {
    UniqueFd fd(::openat(folder, name.c_str(), kReadFile));
    struct stat now {};
    if (!fd || ::fstat(fd.Get(), &now) != 0) {
        return UniqueFd();
    }
    if (!SameFile(now, seen) || !S_ISREG(now.st_mode)) {
        errno = ESTALE;
        return UniqueFd();
    }
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

PathStatus OpenAs(std::string_view windowsPath, PathIntent intent, PathUse use,
                  ConfinedPath& result, const LocationCheck& check) {
    std::optional<Resolution> walk;
    if (PathStatus status = Resolve(windowsPath, use, walk); status != PathStatus::Ok) {
        return Unwalkable(status, walk, check);
    }
    bool wantsFolder = intent != PathIntent::File;
    bool wantsFile = intent == PathIntent::File || intent == PathIntent::FileOrFolder;
    bool missing = !walk->Missing().empty();
    bool isFolder = missing ? intent == PathIntent::NewFolder
                            : walk->NamesRoot() || S_ISDIR(walk->LeafInfo().st_mode);
    std::string realPath = walk->RealPath(isFolder);
    if (!Allowed(check, realPath)) {
        return PathStatus::Refused;
    }
    if (missing) {
        if (intent != PathIntent::NewFolder) {
            return PathStatus::NotFound;
        }
        if (PathStatus status = walk->CreateMissing(); status != PathStatus::Ok) {
            return status;
        }
    } else if (walk->NamesRoot()) {
        if (!wantsFolder) {
            return PathStatus::WrongKind;
        }
        return result.Adopt(OpenFolderBeneath(walk->Folder(), "."), realPath) ? PathStatus::Ok
                                                                              : PathStatusOf(errno);
    }
    const struct stat& seen = walk->LeafInfo();
    if (!(S_ISDIR(seen.st_mode) ? wantsFolder : S_ISREG(seen.st_mode) && wantsFile)) {
        return PathStatus::WrongKind;
    }
    UniqueFd fd = S_ISDIR(seen.st_mode)
                      ? ReopenFolder(walk->Folder(), walk->LeafName(), seen)
                      : ReopenFileForReading(walk->Folder(), walk->LeafName(), seen);
    return result.Adopt(std::move(fd), realPath) ? PathStatus::Ok : PathStatusOf(errno);
}

}  // namespace

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

PathStatus PathStatusOf(int error) {
    switch (error) {
        case ENOENT:
            return PathStatus::NotFound;
        case ENOTDIR:
        case EISDIR:
        case ELOOP:
        case ENXIO:
            return PathStatus::WrongKind;
        case EACCES:
        case EPERM:
        case EROFS:
            return PathStatus::Denied;
        default:
            return PathStatus::Unusable;
    }
}

bool ConfinedPath::Adopt(UniqueFd fd, std::string realPath) {
    if (!fd || ::fstat(fd.Get(), &info_) != 0) {
        return false;
    }
    fd_ = std::move(fd);
    realPath_ = std::move(realPath);
    if (IsFolder() && (realPath_.empty() || realPath_.back() != '\\')) {
        realPath_ += '\\';
    }
    return true;
}

PathStatus ConfinedPath::Open(std::string_view windowsPath, PathIntent intent, ConfinedPath& result,
                              const LocationCheck& check) {
    PathUse use = intent == PathIntent::NewFolder ? PathUse::Write : PathUse::Read;
    return OpenAs(windowsPath, intent, use, result, check);
}

PathStatus ConfinedPath::Open(std::string_view windowsPath, PathIntent intent, PathUse use,
                              ConfinedPath& result, const LocationCheck& check) {
    return OpenAs(windowsPath, intent, use, result, check);
}

PathStatus ConfinedPath::OpenChild(std::string_view name, PathIntent intent,
                                   ConfinedPath& child) const {
    std::string childName(name);
    if (!IsWindowsName(childName) || childName == "." || childName == "..") {
        return PathStatus::Unusable;
    }
    UniqueFd fd;
    if (intent == PathIntent::File) {
        fd.Reset(::openat(Fd(), childName.c_str(), kReadFile));
    } else if (intent == PathIntent::Folder) {
        fd = OpenFolderBeneath(Fd(), childName.c_str());
    } else {
        return PathStatus::Unusable;
    }
    if (!fd) {
        return PathStatusOf(errno);
    }
    if (!child.Adopt(std::move(fd), realPath_ + childName)) {
        return PathStatus::Unusable;
    }
    if (intent == PathIntent::File) {
        if (!S_ISREG(child.info_.st_mode)) {
            return PathStatus::WrongKind;
        }
        ::fcntl(child.Fd(), F_SETFL, ::fcntl(child.Fd(), F_GETFL) & ~O_NONBLOCK);
    }
    return PathStatus::Ok;
}

PathStatus OpenFolderOf(std::string_view windowsPath, ConfinedPath& folder, std::string& last) {
    size_t slash = windowsPath.find_last_of('\\');
    if (slash == std::string_view::npos) {
        return PathStatus::NoDrive;
    }
    last = std::string(windowsPath.substr(slash + 1));
    return OpenAs(windowsPath.substr(0, slash + 1), PathIntent::Folder, PathUse::Write, folder, {});
}

PathStatus ConfinedLeaf::Open(std::string_view windowsPath, ConfinedLeaf& result,
                              const LocationCheck& check, PathUse use) {
    std::optional<Resolution> walk;
    if (PathStatus status = Resolve(windowsPath, use, walk); status != PathStatus::Ok) {
        return Unwalkable(status, walk, check);
    }
    bool isFolder = walk->LeafExists() && S_ISDIR(walk->LeafInfo().st_mode);
    std::string realPath = walk->RealPath(isFolder);
    if (!Allowed(check, realPath)) {
        return PathStatus::Refused;
    }
    if (walk->Missing().size() > 1) {
        return PathStatus::NotFound;  // the folder that would hold it does not exist
    }
    if (walk->NamesRoot()) {
        return PathStatus::WrongKind;
    }
    std::string folderPath = walk->FolderRealPath();
    if (!result.folder.Adopt(OpenFolderBeneath(walk->Folder(), "."), folderPath)) {
        return PathStatusOf(errno);
    }
    result.name = walk->Missing().empty() ? walk->LeafName() : walk->Missing().front();
    result.realPath = folderPath + result.name;
    result.exists = walk->LeafExists();
    result.info = walk->LeafInfo();
    return PathStatus::Ok;
}

}  // namespace vantrel::platform
