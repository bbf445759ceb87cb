#include "platform/files/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"
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
    explicit FolderHandle(int fd) {
        int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir_ = own >= 0 ? fdopendir(own) : nullptr;
        if (!dir_ && own >= 0) {
            close(own);
        }
    }
    ~FolderHandle() {
        if (dir_) {
            closedir(dir_);
        }
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool IsOpen() const { return dir_ != nullptr; }
    int Fd() const { return dirfd(dir_); }
    DIR* Dir() const { return dir_; }

  private:
    DIR* dir_ = nullptr;
};

// All names of a folder in one buffer, so that a folder of many files costs no allocation per
// name; entries refer to them by offset.
class NamePool {
  public:
    struct Entry {
        uint32_t offset;
        uint32_t length;
        unsigned char type;  // DT_REG, DT_DIR, DT_LNK, DT_UNKNOWN, ...
    };

    void Add(std::string_view name, unsigned char type) {
        entries_.push_back(
            {static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(name.size()), type});
        text_.append(name).push_back('\0');  // keeps each name usable as a C string
    }
    std::string_view Name(const Entry& entry) const {
        return std::string_view(text_).substr(entry.offset, entry.length);
    }
    const char* CName(const Entry& entry) const { return text_.c_str() + entry.offset; }
    const std::vector<Entry>& Entries() const { return entries_; }
    bool Less(const Entry& a, const Entry& b) const {
        int order = CompareIgnoringCase(Name(a), Name(b));
        return order != 0 ? order < 0 : Name(a) < Name(b);
    }

  private:
    std::string text_;
    std::vector<Entry> entries_;
};

using Entry = NamePool::Entry;

// Every name of the folder that can stand in a Windows path, with the type the folder reports.
NamePool ReadNames(const FolderHandle& folder) {
    NamePool pool;
    while (dirent* entry = readdir(folder.Dir())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        pool.Add(name, entry->d_type);
    }
    return pool;
}

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
    const NamePool& pool = context.pool;
    std::sort(folders.begin(), folders.end(),
              [&](const Entry& a, const Entry& b) { return pool.Less(a, b); });
    std::vector<std::string> names;
    for (const Entry& entry : folders) {
        names.emplace_back(pool.Name(entry));
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

// The first `limit` files in name order. Only as many names as are shown get ordered and
// examined: batches of the smallest remaining names are picked out and sorted until enough
// files are found.
std::vector<ListedFile> Files(const ListingContext& context, std::string_view pattern,
                              size_t limit) {
    const NamePool& pool = context.pool;
    std::vector<Entry> candidates;
    for (const Entry& entry : pool.Entries()) {
        std::string_view name = pool.Name(entry);
        if (MayBeFile(entry) && name.front() != '.' && WildcardMatch(pattern, name)) {
            candidates.push_back(entry);
        }
    }
    auto less = [&](const Entry& a, const Entry& b) { return pool.Less(a, b); };
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

bool NameLess(std::string_view a, std::string_view b) {
    int order = CompareIgnoringCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

std::optional<FolderContents> ListFolder(std::string_view windowsFolder, std::string_view pattern,
                                         size_t fileLimit) {
    ConfinedPath opened;
    if (ConfinedPath::Open(windowsFolder, PathIntent::Folder, opened) != PathStatus::Ok) {
        return std::nullopt;
    }
    FolderHandle folder(opened.Fd());
    if (!folder.IsOpen()) {
        return std::nullopt;
    }
    NamePool pool = ReadNames(folder);
    ListingContext context{windowsFolder, folder, pool};
    FolderContents contents;
    contents.subfolders = Subfolders(context);
    if (!pattern.empty()) {
        contents.files = Files(context, pattern, fileLimit);
    }
    return contents;
}

std::optional<std::vector<std::string>> ListSubfolders(std::string_view windowsFolder) {
    auto contents = ListFolder(windowsFolder, "", 0);
    return contents ? std::optional(std::move(contents->subfolders)) : std::nullopt;
}

std::optional<std::vector<ListedFile>> ListFiles(std::string_view windowsFolder,
                                                 std::string_view pattern, size_t limit) {
    auto contents = ListFolder(windowsFolder, pattern, limit);
    return contents ? std::optional(std::move(contents->files)) : std::nullopt;
}

}  // namespace vantrel::platform
