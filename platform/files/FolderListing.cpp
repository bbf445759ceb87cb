#include "platform/files/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {

namespace {

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lowered;
}

// An open folder; closes itself.
class FolderHandle {
public:
    explicit FolderHandle(const std::string& path) : dir_(opendir(path.c_str())) {}
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
    DIR* dir_;
};

struct RawEntry {
    std::string name;
    unsigned char type;  // DT_REG, DT_DIR, DT_LNK, DT_UNKNOWN, ...
};

// Every name of the folder that can stand in a Windows path, with the type the folder reports.
std::vector<RawEntry> ReadEntries(const FolderHandle& folder) {
    std::vector<RawEntry> entries;
    while (dirent* entry = readdir(folder.Dir())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !IsWindowsName(name)) {
            continue;
        }
        entries.push_back({std::string(name), entry->d_type});
    }
    return entries;
}

// Sorts names in Windows order, comparing prepared lower-case keys.
template <typename Item, typename NameOf>
void SortByName(std::vector<Item>& items, NameOf nameOf) {
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        keys.emplace_back(Lowered(nameOf(items[i])), i);
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return a.first < b.first;
        }
        return nameOf(items[a.second]) < nameOf(items[b.second]);
    });
    std::vector<Item> sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys) {
        sorted.push_back(std::move(items[key.second]));
    }
    items = std::move(sorted);
}

std::string ChildPath(std::string_view windowsFolder, std::string_view name) {
    std::string path(windowsFolder);
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return path + "\\" + std::string(name);
}

// The status of an entry, following a link only while it stays inside the drive's folder.
std::optional<struct stat> StatWithin(const DriveMap& map, std::string_view windowsFolder,
                                      const FolderHandle& folder, const RawEntry& entry) {
    struct stat status {};
    if (entry.type == DT_LNK || entry.type == DT_UNKNOWN) {
        if (fstatat(folder.Fd(), entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;
        }
        if (S_ISLNK(status.st_mode) && !map.ToLinux(ChildPath(windowsFolder, entry.name))) {
            return std::nullopt;
        }
    }
    if (fstatat(folder.Fd(), entry.name.c_str(), &status, 0) != 0) {
        return std::nullopt;
    }
    return status;
}

FileDetails DetailsOf(const std::string& name, const struct stat& status) {
    FileDetails details;
    details.known = true;
    details.size = static_cast<uint64_t>(status.st_size);
    details.modified = status.st_mtime;
    details.attributes = AttributesOf(name, false, (status.st_mode & S_IWUSR) != 0);
    return details;
}

// Entries of type DT_REG need no status call to be recognised; the others are looked at.
bool MayBeFile(const RawEntry& entry) {
    return entry.type == DT_REG || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
}

bool MayBeFolder(const RawEntry& entry) {
    return entry.type == DT_DIR || entry.type == DT_LNK || entry.type == DT_UNKNOWN;
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
    std::string lowerA = Lowered(a), lowerB = Lowered(b);
    return lowerA != lowerB ? lowerA < lowerB : a < b;
}

std::optional<std::vector<std::string>> ListSubfolders(std::string_view windowsFolder) {
    DriveMap map = DriveMap::FromEnvironment();
    auto linuxFolder = map.ToLinux(windowsFolder);
    if (!linuxFolder) {
        return std::nullopt;
    }
    FolderHandle folder(linuxFolder->string());
    if (!folder.IsOpen()) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const RawEntry& entry : ReadEntries(folder)) {
        if (!MayBeFolder(entry)) {
            continue;
        }
        if (entry.type != DT_DIR) {
            auto status = StatWithin(map, windowsFolder, folder, entry);
            if (!status || !S_ISDIR(status->st_mode)) {
                continue;
            }
        }
        names.push_back(entry.name);
    }
    SortByName(names, [](const std::string& name) -> const std::string& { return name; });
    return names;
}

std::optional<std::vector<ListedFile>> ListFiles(std::string_view windowsFolder,
                                                 std::string_view pattern, size_t limit) {
    DriveMap map = DriveMap::FromEnvironment();
    auto linuxFolder = map.ToLinux(windowsFolder);
    if (!linuxFolder) {
        return std::nullopt;
    }
    FolderHandle folder(linuxFolder->string());
    if (!folder.IsOpen()) {
        return std::nullopt;
    }
    std::vector<RawEntry> candidates = ReadEntries(folder);
    std::erase_if(candidates, [&](const RawEntry& entry) {
        return !MayBeFile(entry) || entry.name.front() == '.' || !WildcardMatch(pattern, entry.name);
    });
    SortByName(candidates, [](const RawEntry& entry) -> const std::string& { return entry.name; });

    std::vector<ListedFile> files;
    for (const RawEntry& entry : candidates) {
        if (files.size() >= limit) {
            break;
        }
        auto status = StatWithin(map, windowsFolder, folder, entry);
        if (status && !S_ISREG(status->st_mode)) {
            continue;
        }
        if (!status && entry.type != DT_REG) {
            continue;  // a dangling or escaping link, or something gone that was never a file
        }
        files.push_back({entry.name, status ? DetailsOf(entry.name, *status) : FileDetails{}});
    }
    return files;
}

}  // namespace vantrel::platform
