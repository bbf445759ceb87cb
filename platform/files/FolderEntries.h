#pragma once
// The names in an open folder, read through its descriptor (never through a path again).

#include <string>
#include <vector>

namespace vantrel::platform {

struct FolderEntry {
    std::string name;
    unsigned char type;  // as readdir tells it; DT_UNKNOWN where the file system does not say
};

// The entries of the folder open as folderFd, without "." and "..", in the order the file system
// gives them; none when it cannot be read, and then error (when given) holds the reason (errno),
// else 0. folderFd stays open and its position is untouched.
std::vector<FolderEntry> ReadFolderEntries(int folderFd, int* error = nullptr);

}  // namespace vantrel::platform
