#include "platform/ziplib/SourceList.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <unordered_set>

#include "platform/drives/JoinedPaths.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/Wildcard.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

using platform::ConfinedLeaf;
using platform::ConfinedPath;
using platform::PathIntent;
using platform::PathStatus;
using platform::UniqueFd;

namespace {

using platform::FolderEntry;

constexpr size_t kLongestEntryName = 65535;  // the zip format's 16-bit name length
constexpr size_t kOpenFoldersKept = 16;

// The file system's reason behind a path that could not be opened, for the report naming it.
int ReasonOf(PathStatus status) {
    return status == PathStatus::Denied ? EACCES : 0;
}

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool MatchesEverything(std::string_view pattern) {
    return pattern == "*.*" || pattern == "*";
}

std::string JoinSegments(const std::vector<std::string>& segments) {
    std::string joined;
    for (const auto& segment : segments) {
        joined += segment + "/";
    }
    return joined;
}

// The entries of an opened folder sorted by name, without "." and ".."; none, with error set,
// when it cannot be read.
std::vector<FolderEntry> ReadFolder(const ConfinedPath& folder, int& error) {
    std::vector<FolderEntry> entries = platform::ReadFolderEntries(folder.Fd(), &error);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

// The status of the regular file name in folder when the account may read it (the reason it
// cannot is then what open would say: permission, missing, not a regular file); no link is
// followed. Cheaper than opening it: the file is opened for its reading later anyway.
std::optional<struct stat> ReadableFile(const ConfinedPath& folder, const std::string& name,
                                        int& reason) {
    struct stat info {};
    if (::fstatat(folder.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) ||
        ::faccessat(folder.Fd(), name.c_str(), R_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
        reason = errno == EACCES || errno == EPERM ? EACCES : 0;
        return std::nullopt;
    }
    return info;
}

unsigned char TypeOf(const ConfinedPath& folder, const FolderEntry& entry) {
    if (entry.type != DT_UNKNOWN) {
        return entry.type;
    }
    struct stat info {};
    if (::fstatat(folder.Fd(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return DT_UNKNOWN;
    }
    return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

class Expander {
  public:
    Expander(const SourceOptions& options, CallerHooks& caller, std::deque<SourceFile>& files,
             const FoundFile& found)
        : options_(options), caller_(caller), files_(files), found_(found) {}

    // Why the expansion stopped early (a name taken twice, or the listener's code), or 0.
    int32_t Stopped() const { return stopped_; }

    int32_t Item(const std::string& item) {
        auto parsed = platform::ParseWindowsPath(item);
        if (!parsed) {
            return LSZIP_E_REFUSED;
        }
        std::string base = options_.fullPaths ? JoinSegments(parsed->segments) : std::string();
        if (parsed->segments.empty() || HasWildcard(parsed->segments.back())) {
            std::string pattern = parsed->segments.empty() ? "*.*" : parsed->segments.back();
            if (!parsed->segments.empty()) {
                parsed->segments.pop_back();
            }
            base = options_.fullPaths ? JoinSegments(parsed->segments) : std::string();
            auto folder = std::make_shared<ConfinedPath>();
            PathStatus opened = ConfinedPath::Open(parsed->ToString(), PathIntent::Folder, *folder,
                                                   caller_.Check());
            if (opened != PathStatus::Ok) {
                return Unreachable(opened, parsed->ToString());
            }
            Walk(Root(folder), *folder, base, pattern);
            return LSZIP_OK;
        }
        ConfinedLeaf leaf;
        PathStatus opened =
            ConfinedLeaf::Open(item, leaf, caller_.Check(), platform::PathUse::Read);
        if (opened == PathStatus::Ok && !leaf.exists) {
            opened = PathStatus::NotFound;
        }
        if (opened != PathStatus::Ok) {
            return Unreachable(opened, item);
        }
        if (!base.empty()) {
            base.pop_back();  // the file's or folder's own full path, without the last "/"
        } else if (!parsed->segments.empty()) {
            base = parsed->segments.back();
        }
        if (S_ISREG(leaf.info.st_mode)) {
            AddFile(SharedFolder(leaf.folder), leaf.folder, leaf.name, base, true);
            return LSZIP_OK;
        }
        if (!S_ISDIR(leaf.info.st_mode)) {
            return LSZIP_E_NOT_MATCHED;
        }
        auto folder = std::make_shared<ConfinedPath>();
        opened = leaf.folder.OpenChild(leaf.name, PathIntent::Folder, *folder);
        if (opened != PathStatus::Ok || !platform::SameFile(folder->Info(), leaf.info)) {
            caller_.Report(LSZIP_E_OPEN, leaf.realPath, ReasonOf(opened));
            return LSZIP_OK;
        }
        std::string prefix = options_.fullPaths ? base + "/" : std::string();
        Walk(Root(folder), *folder, prefix, "*.*");
        return LSZIP_OK;
    }

  private:
    // A named item that cannot be opened: refusals of the whole list, or a file left out.
    int32_t Unreachable(PathStatus opened, const std::string& path) {
        switch (opened) {
            case PathStatus::NoDrive:
            case PathStatus::OutsideDrive:
                return LSZIP_E_REFUSED;
            case PathStatus::NotFound:
            case PathStatus::WrongKind:
                return LSZIP_E_NOT_MATCHED;
            case PathStatus::Refused:
                caller_.NoteRefusal();
                return LSZIP_OK;
            default:
                caller_.Report(LSZIP_E_OPEN, path, ReasonOf(opened));
                return LSZIP_OK;
        }
    }

    static std::shared_ptr<const SourceFolder> Root(std::shared_ptr<ConfinedPath> opened) {
        auto folder = std::make_shared<SourceFolder>();
        folder->info = opened->Info();
        folder->opened = std::move(opened);
        return folder;
    }

    // The folder of a named file, shared by every named file in it.
    std::shared_ptr<const SourceFolder> SharedFolder(const ConfinedPath& opened) {
        auto key = std::make_pair(opened.Info().st_dev, opened.Info().st_ino);
        auto& folder = namedFolders_[key];
        if (!folder) {
            auto held = std::make_shared<ConfinedPath>();
            held->Adopt(UniqueFd(::fcntl(opened.Fd(), F_DUPFD_CLOEXEC, 0)), opened.RealPath());
            folder = Root(std::move(held));
        }
        return folder;
    }

    // Adds a file of folder; checked tells that the caller's check has already allowed it.
    void AddFile(const std::shared_ptr<const SourceFolder>& node, const ConfinedPath& folder,
                 const std::string& name, const std::string& entryName, bool checked) {
        std::string realPath = folder.RealPath() + name;
        int reason = 0;
        std::optional<struct stat> info = ReadableFile(folder, name, reason);
        if (!info) {
            caller_.Report(LSZIP_E_OPEN, realPath, reason);
            return;
        }
        if (options_.archive && platform::SameFile(*info, *options_.archive)) {
            return;  // the archive itself is never one of its sources
        }
        if (!checked && !caller_.Allows(realPath)) {
            caller_.NoteRefusal();
            return;
        }
        if (entryName.size() > kLongestEntryName) {
            caller_.Report(LSZIP_E_REFUSED, realPath);
            return;
        }
        Accept({node, name, std::move(realPath), entryName, false, *info});
    }

    // The same file named twice is taken once; two different files under one name refuse the
    // list.
    void Accept(SourceFile file) {
        if (!seen_.insert(FileKey(file.info)).second) {
            return;
        }
        if (names_.count(file.entryName)) {
            stopped_ = LSZIP_E_REPEATED_NAME;
            return;
        }
        files_.push_back(std::move(file));
        names_.insert(files_.back().entryName);  // the list keeps the name where it is
        if (found_) {
            stopped_ = found_(files_.back());
        }
    }

    struct FileKey {
        explicit FileKey(const struct stat& info) : device(info.st_dev), inode(info.st_ino) {}
        dev_t device;
        ino_t inode;
        bool operator==(const FileKey&) const = default;
    };
    struct FileKeyHash {
        size_t operator()(const FileKey& key) const {
            return std::hash<uint64_t>()(static_cast<uint64_t>(key.inode) * 31 + key.device);
        }
    };

    // A folder that cannot be read is left out like a file that cannot: named, and the call fails.
    void Walk(const std::shared_ptr<const SourceFolder>& node, const ConfinedPath& folder,
              const std::string& prefix, const std::string& pattern) {
        int error = 0;
        std::vector<FolderEntry> entries = ReadFolder(folder, error);
        if (error != 0) {
            caller_.Report(LSZIP_E_OPEN, folder.RealPath(), error);
            return;
        }
        for (const FolderEntry& entry : entries) {
            if (stopped_ != LSZIP_OK) {
                return;
            }
            if (!platform::IsWindowsName(entry.name)) {
                caller_.Report(LSZIP_E_REFUSED, folder.RealPath() + entry.name);
                continue;
            }
            unsigned char type = TypeOf(folder, entry);
            if (type == DT_DIR && options_.recurse) {
                SubFolder(node, folder, entry.name, prefix, pattern);
            } else if (type == DT_REG && platform::WildcardMatch(pattern, entry.name)) {
                AddFile(node, folder, entry.name, prefix + entry.name, false);
            }
        }
    }

    void SubFolder(const std::shared_ptr<const SourceFolder>& parent, const ConfinedPath& folder,
                   const std::string& name, const std::string& prefix, const std::string& pattern) {
        auto child = std::make_shared<ConfinedPath>();
        if (PathStatus opened = folder.OpenChild(name, PathIntent::Folder, *child);
            opened != PathStatus::Ok) {
            caller_.Report(LSZIP_E_OPEN, folder.RealPath() + name + "\\", ReasonOf(opened));
            return;
        }
        if (!caller_.Allows(child->RealPath())) {
            caller_.NoteRefusal();
            return;
        }
        auto node = std::make_shared<SourceFolder>();
        node->parent = parent;
        node->walked = child;
        node->name = name;
        node->info = child->Info();
        if (MatchesEverything(pattern)) {
            Accept({parent, name, child->RealPath(), prefix + name + "/", true, child->Info()});
        }
        Walk(node, *child, prefix + name + "/", pattern);
    }

    const SourceOptions& options_;
    CallerHooks& caller_;
    std::deque<SourceFile>& files_;
    const FoundFile& found_;
    int32_t stopped_ = LSZIP_OK;
    std::unordered_set<FileKey, FileKeyHash> seen_;
    std::unordered_set<std::string_view> names_;
    std::map<std::pair<dev_t, ino_t>, std::shared_ptr<const SourceFolder>> namedFolders_;
};

}  // namespace

int32_t ExpandSourceList(std::string_view list, const SourceOptions& options, CallerHooks& caller,
                         std::deque<SourceFile>& files, const FoundFile& found) {
    Expander expander(options, caller, files, found);
    for (const std::string& item : platform::SplitJoinedPaths(list)) {
        if (item.empty()) {
            continue;
        }
        int32_t code = expander.Item(item);
        if (code == LSZIP_OK) {
            code = expander.Stopped();
        }
        if (code != LSZIP_OK) {
            return code;
        }
    }
    return LSZIP_OK;
}

UniqueFd SourceOpener::Open(const SourceFile& file, struct stat* status) {
    int folder = FolderFd(file.folder);
    if (folder < 0) {
        return UniqueFd();
    }
    UniqueFd fd(
        ::openat(folder, file.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat own {};
    struct stat& now = status ? *status : own;
    if (!fd || ::fstat(fd.Get(), &now) != 0) {
        return UniqueFd();
    }
    if (!platform::SameFile(now, file.info) || !S_ISREG(now.st_mode)) {
        errno = ESTALE;  // another file lies there now
        return UniqueFd();
    }
    ::fcntl(fd.Get(), F_SETFL, 0);  // clears O_NONBLOCK, the only status flag it was opened with
    return fd;
}

int SourceOpener::FolderFd(const std::shared_ptr<const SourceFolder>& folder) {
    if (folder->opened) {
        return folder->opened->Fd();
    }
    if (auto walked = folder->walked.lock()) {
        return walked->Fd();
    }
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->folder == folder.get()) {
            cache_.splice(cache_.begin(), cache_, it);
            return cache_.front().fd.Get();
        }
    }
    int parent = FolderFd(folder->parent);
    if (parent < 0) {
        return -1;
    }
    UniqueFd fd(
        ::openat(parent, folder->name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat now {};
    if (!fd || ::fstat(fd.Get(), &now) != 0) {
        return -1;
    }
    if (!platform::SameFile(now, folder->info)) {
        errno = ESTALE;
        return -1;
    }
    cache_.push_front({folder.get(), std::move(fd)});
    if (cache_.size() > kOpenFoldersKept) {
        cache_.pop_back();
    }
    return cache_.front().fd.Get();
}

}  // namespace vantrel::ziplib
