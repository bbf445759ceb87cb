#include "platform/files/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>

#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/UniqueFd.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {

namespace {

constexpr std::array<unsigned char, 256> kLower = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return table;
}();

// Negative, zero or positive as a sorts before, with or after b ignoring case.
int CompareIgnoringCase(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        int difference =
            kLower[static_cast<unsigned char>(a[i])] - kLower[static_cast<unsigned char>(b[i])];
        if (difference != 0) {
            return difference;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// An open folder; closes itself.
class FolderHandle {
  public:
    // Lists the folder open at fd (which stays the caller's).
    explicit FolderHandle(int fd) : fd_(openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }

  private:
    UniqueFd fd_;
};

// All names of a folder as the file system hands them over, in large reads, so that a folder of
// many files costs no allocation per name; entries refer to them by offset. Each entry carries
// the first bytes of its name in lower case as a number, so that ordering compares numbers and
// only looks at the names where those bytes are alike.
class NamePool {
  public:
    struct Entry {
        uint64_t key;  // the first 8 bytes in lower case, the first one highest
        uint32_t offset;
        uint16_t length;
        unsigned char type;  // DT_REG, DT_DIR, DT_LNK, DT_UNKNOWN, ...
    };

    // Reads the folder open as fd; false when it cannot be read.
    bool Read(int fd) {
        constexpr size_t kRead = 256 << 10;
        for (;;) {
            size_t used = records_.size();
            records_.resize(used + kRead);
            ssize_t got = getdents64(fd, records_.data() + used, kRead);
            if (got <= 0) {
                records_.resize(used);
                return got == 0;
            }
            records_.resize(used + static_cast<size_t>(got));
            for (size_t at = used; at < records_.size();) {
                const auto* record = reinterpret_cast<const dirent64*>(records_.data() + at);
                Add(at + offsetof(dirent64, d_name), record->d_type);
                at += record->d_reclen;
            }
        }
    }
    std::string_view Name(const Entry& entry) const {
        return std::string_view(records_.data() + entry.offset, entry.length);
    }
    const char* CName(const Entry& entry) const { return records_.data() + entry.offset; }
    const std::vector<Entry>& Entries() const { return entries_; }
    // Puts the entries in name order, once for every listing of the pool.
    void Sort() {
        std::sort(entries_.begin(), entries_.end(),
                  [this](const Entry& a, const Entry& b) { return Less(*this, a, b); });
        sorted_ = true;
    }
    bool Sorted() const { return sorted_; }
    // The memory the pool takes, once its room has been trimmed to its contents.
    size_t Trim() {
        records_.shrink_to_fit();
        entries_.shrink_to_fit();
        return records_.capacity() + entries_.capacity() * sizeof(Entry);
    }
    static bool Less(const NamePool& pool, const Entry& a, const Entry& b) {
        if (a.key != b.key) {
            return a.key < b.key;
        }
        int order = CompareIgnoringCase(pool.Name(a), pool.Name(b));
        return order != 0 ? order < 0 : pool.Name(a) < pool.Name(b);
    }

  private:
    void Add(size_t offset, unsigned char type) {
        std::string_view name(records_.data() + offset);
        if (name == "." || name == ".." || name.size() > UINT16_MAX) {
            return;
        }
        uint64_t key = 0;
        for (size_t i = 0; i < 8; ++i) {
            key = (key << 8) | (i < name.size() ? kLower[static_cast<unsigned char>(name[i])] : 0);
        }
        entries_.push_back(
            {key, static_cast<uint32_t>(offset), static_cast<uint16_t>(name.size()), type});
    }

    std::vector<char> records_;
    std::vector<Entry> entries_;
    bool sorted_ = false;
};

using Entry = NamePool::Entry;

// The names of big folders, kept while their folder stays as it was: reading a folder of 100,000
// names takes the file system longer than all the rest of a listing, and the source page lists
// the same folder again at every change of pattern or selection. Every name added, removed or
// renamed changes a folder's modification and change times (a kept folder is not read again
// before they change); a folder's names are kept only when both times lie some time in the past
// when it is read, so that a change within the same tick of the clock is never missed.
class FolderSnapshots {
  public:
    static constexpr size_t kLeastEntries = 10000;
    static constexpr size_t kMostFolders = 4;
    static constexpr size_t kMostBytes = 64 << 20;  // in all the kept folders together

    static FolderSnapshots& Instance() {
        static FolderSnapshots snapshots;
        return snapshots;
    }
    // The names of folder when they are kept and folder is unchanged since, in name order.
    std::shared_ptr<const NamePool> Find(const struct stat& folder) {
        std::lock_guard lock(mutex_);
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (Same(it->folder, folder)) {
                kept_.splice(kept_.begin(), kept_, it);
                return kept_.front().pool;
            }
        }
        return nullptr;
    }
    // Keeps the names read from folder, sorted, when there are many and the folder is settled;
    // the pool that the listing goes on with.
    std::shared_ptr<const NamePool> Keep(const struct stat& folder, NamePool pool) {
        auto shared = std::make_shared<NamePool>(std::move(pool));
        if (shared->Entries().size() < kLeastEntries || !Settled(folder)) {
            return shared;
        }
        size_t bytes = shared->Trim();
        if (bytes > kMostBytes) {
            return shared;
        }
        shared->Sort();
        std::lock_guard lock(mutex_);
        std::erase_if(kept_, [&](const Snapshot& kept) {
            return kept.folder.st_dev == folder.st_dev && kept.folder.st_ino == folder.st_ino;
        });
        kept_.push_front({folder, shared, bytes});
        size_t total = 0;
        for (auto it = kept_.begin(); it != kept_.end();) {
            total += it->bytes;
            bool room = std::distance(kept_.begin(), it) < static_cast<ptrdiff_t>(kMostFolders) &&
                        total <= kMostBytes;
            it = room ? std::next(it) : kept_.erase(it);
        }
        return shared;
    }

  private:
    struct Snapshot {
        struct stat folder;
        std::shared_ptr<const NamePool> pool;
        size_t bytes;
    };

    static bool SameTime(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
    static bool Same(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
    }
    // Whether the folder last changed long enough ago that a later change gives it other times.
    static bool Settled(const struct stat& folder) {
        constexpr time_t kSettledSeconds = 2;
        time_t now = std::time(nullptr);
        return std::max(folder.st_mtim.tv_sec, folder.st_ctim.tv_sec) + kSettledSeconds < now;
    }

    std::mutex mutex_;
    std::list<Snapshot> kept_;  // the most recently used first
};

std::string ChildPath(std::string_view windowsFolder, std::string_view name) {
    std::string path(windowsFolder);
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return path + "\\" + std::string(name);
}

// What one folder's listing needs to look at its entries.
struct ListingContext {
    std::string_view windowsFolder;
    const FolderHandle& folder;
    const NamePool& pool;

    // The status of an entry; a link is followed the confined way, only while it stays inside
    // the drive, and shows what it leads to.
    std::optional<struct stat> Status(const Entry& entry) const {
        struct stat status {};
        if (fstatat(folder.Fd(), pool.CName(entry), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;
        }
        if (!S_ISLNK(status.st_mode)) {
            return status;
        }
        if (!IsWindowsName(pool.Name(entry))) {
            return std::nullopt;  // a link whose name is no Windows name cannot be followed
        }
        ConfinedPath target;
        if (ConfinedPath::Open(ChildPath(windowsFolder, pool.Name(entry)), PathIntent::FileOrFolder,
                               target) != PathStatus::Ok) {
            return std::nullopt;
        }
        return target.Info();
    }
    bool Less(const Entry& a, const Entry& b) const { return NamePool::Less(pool, a, b); }
};

bool MayBeFile(const Entry& entry) {
    return entry.type == DT_REG || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
}

bool MayBeFolder(const Entry& entry) {
    return entry.type == DT_DIR || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
}

std::vector<std::string> Subfolders(const ListingContext& context) {
    std::vector<Entry> folders;
    for (const Entry& entry : context.pool.Entries()) {
        if (!MayBeFolder(entry) || !IsWindowsName(context.pool.Name(entry))) {
            continue;
        }
        if (entry.type != DT_DIR) {
            auto status = context.Status(entry);
            if (!status || !S_ISDIR(status->st_mode)) {
                continue;
            }
        }
        folders.push_back(entry);
    }
    if (!context.pool.Sorted()) {
        std::sort(folders.begin(), folders.end(),
                  [&](const Entry& a, const Entry& b) { return context.Less(a, b); });
    }
    std::vector<std::string> names;
    names.reserve(folders.size());
    for (const Entry& entry : folders) {
        names.emplace_back(context.pool.Name(entry));
    }
    return names;
}

// The file an entry names, when it is one that the listing shows.
std::optional<ListedFile> ExamineFile(const ListingContext& context, const Entry& entry) {
    auto status = context.Status(entry);
    std::string name(context.pool.Name(entry));
    if (!status) {
        // Gone since the folder was read: still listed, without details. A dangling or escaping
        // link is not listed.
        bool carriable = IsWindowsName(name) && name.find('|') == std::string::npos;
        return entry.type == DT_REG ? std::optional(ListedFile{name, {}, carriable}) : std::nullopt;
    }
    if (!S_ISREG(status->st_mode)) {
        return std::nullopt;
    }
    FileDetails details;
    details.known = true;
    details.size = static_cast<uint64_t>(status->st_size);
    details.modified = status->st_mtime;
    details.attributes = AttributesOf(name, false, (status->st_mode & S_IWUSR) != 0);
    bool carriable = IsWindowsName(name) && name.find('|') == std::string::npos;
    return ListedFile{std::move(name), details, carriable};
}

// Whether an entry the listing does not show is a file it would show: a regular file, or a link
// that leads to one inside the drive.
bool CountsAsFile(const ListingContext& context, const Entry& entry) {
    if (entry.type == DT_REG) {
        return true;
    }
    auto status = context.Status(entry);
    return status && S_ISREG(status->st_mode);
}

// The same from candidates already in name order.
std::vector<ListedFile> SortedFiles(const ListingContext& context,
                                    const std::vector<Entry>& candidates, size_t limit,
                                    size_t& matched) {
    std::vector<ListedFile> files;
    matched = 0;
    for (const Entry& entry : candidates) {
        if (files.size() < limit) {
            if (auto file = ExamineFile(context, entry)) {
                files.push_back(std::move(*file));
                ++matched;
            }
        } else {
            matched += CountsAsFile(context, entry) ? 1 : 0;
        }
    }
    return files;
}

// The first `limit` files in name order, and how many files match in all. Only as many names as
// are shown get ordered and examined: batches of the smallest remaining names are picked out and
// sorted until enough files are found.
std::vector<ListedFile> Files(const ListingContext& context, std::string_view pattern, size_t limit,
                              size_t& matched) {
    const NamePool& pool = context.pool;
    std::vector<Entry> candidates;
    for (const Entry& entry : pool.Entries()) {
        std::string_view name = pool.Name(entry);
        if (MayBeFile(entry) && name.front() != '.' && WildcardMatch(pattern, name)) {
            candidates.push_back(entry);
        }
    }
    if (pool.Sorted()) {
        return SortedFiles(context, candidates, limit, matched);
    }
    auto less = [&](const Entry& a, const Entry& b) { return context.Less(a, b); };
    std::vector<ListedFile> files;
    size_t begin = 0;
    while (files.size() < limit && begin < candidates.size()) {
        size_t end = std::min(candidates.size(), begin + (limit - files.size()));
        auto first = candidates.begin() + static_cast<ptrdiff_t>(begin);
        auto last = candidates.begin() + static_cast<ptrdiff_t>(end);
        std::nth_element(first, last - 1, candidates.end(), less);
        std::sort(first, last, less);
        for (auto it = first; it != last; ++it) {
            if (auto file = ExamineFile(context, *it)) {
                files.push_back(std::move(*file));
            }
        }
        begin = end;
    }
    matched = files.size();
    for (size_t i = begin; i < candidates.size(); ++i) {
        matched += CountsAsFile(context, candidates[i]) ? 1 : 0;
    }
    return files;
}

}  // namespace

uint32_t AttributesOf(std::string_view name, bool isDirectory, bool ownerWritable) {
    uint32_t attributes = isDirectory ? kAttributeDirectory : kAttributeArchive;
    if (!ownerWritable) {
        attributes |= kAttributeReadOnly;
    }
    if (!name.empty() && name.front() == '.') {
        attributes |= kAttributeHidden;
    }
    return attributes;
}

std::optional<FolderContents> ListFolder(std::string_view windowsFolder, std::string_view pattern,
                                         size_t fileLimit) {
    ConfinedPath opened;
    if (ConfinedPath::Open(windowsFolder, PathIntent::Folder, opened) != PathStatus::Ok) {
        return std::nullopt;
    }
    FolderHandle folder(opened.Fd());
    struct stat info {};
    if (!folder.IsOpen() || fstat(folder.Fd(), &info) != 0) {
        return std::nullopt;
    }
    // Only an account that may read the folder gets this far, kept names or not.
    std::shared_ptr<const NamePool> pool = FolderSnapshots::Instance().Find(info);
    if (!pool) {
        NamePool read;
        if (!read.Read(folder.Fd())) {
            return std::nullopt;
        }
        pool = FolderSnapshots::Instance().Keep(info, std::move(read));
    }
    ListingContext context{windowsFolder, folder, *pool};
    FolderContents contents;
    contents.subfolders = Subfolders(context);
    if (!pattern.empty()) {
        contents.files = Files(context, pattern, fileLimit, contents.filesMatched);
    }
    return contents;
}

}  // namespace vantrel::platform
