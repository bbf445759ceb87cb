#include "platform/files/FolderEntries.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <string_view>

#include "platform/files/UniqueFd.h"

namespace vantrel::platform {

std::vector<FolderEntry> ReadFolderEntries(int folderFd, int* error) {
    std::vector<FolderEntry> entries;
    // A descriptor of its own: the directory stream takes it over and closes it.
    UniqueFd listing(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listing ? ::fdopendir(listing.Get()) : nullptr;
    if (error) {
        *error = dir ? 0 : errno;
    }
    if (!dir) {
        return entries;
    }
    listing.Release();
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            entries.push_back({std::string(name), entry->d_type});
        }
    }
    ::closedir(dir);
    return entries;
}

}  // namespace vantrel::platform
