#pragma once
// Folder listings as a Windows server gives them: subfolders and files ordered by name without
// regard to case, with the size, time and attribute bits of each file shown.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The attribute bits a Windows server reports for a file.
inline constexpr uint32_t kAttributeReadOnly = 1;
inline constexpr uint32_t kAttributeHidden = 2;
inline constexpr uint32_t kAttributeSystem = 4;
inline constexpr uint32_t kAttributeDirectory = 16;
inline constexpr uint32_t kAttributeArchive = 32;

// Read-only when the owner may not write, hidden for names beginning with ".", archive for
// regular files, directory for folders; nothing here is a system file.
uint32_t AttributesOf(std::string_view name, bool isDirectory, bool ownerWritable);

struct FileDetails {
    bool known = false;  // false when the file could not be examined; the rest is then zero
    uint64_t size = 0;
    std::time_t modified = 0;
    uint32_t attributes = 0;
};

struct ListedFile {
    std::string name;
    FileDetails details;
    // False for a name the pages' requests cannot carry: a "\" (a separator in a Windows path)
    // or a "|" (the separator of the pages' file lists). Such a file is listed so that the page
    // can say why it cannot be chosen.
    bool carriable = true;
};

struct FolderContents {
    std::vector<std::string> subfolders;
    std::vector<ListedFile> files;
    size_t filesMatched = 0;  // the files the pattern matches, those not listed included
};

// One pass over a folder given as a Windows path. Subfolders: every one, in name order. Files:
// the ordinary files whose names match the Windows wildcard pattern (none for an empty pattern),
// hidden files left out, in name order; only the first `fileLimit` are returned, and only they
// are examined for their details, so a folder of many files lists quickly (the others are only
// counted). Subfolders whose
// names cannot stand in a Windows path, and links that lead out of the drive's folder, are left
// out; files whose names the pages cannot carry are listed, marked. nullopt
// when the folder is missing, unreadable or outside its drive.
std::optional<FolderContents> ListFolder(std::string_view windowsFolder, std::string_view pattern,
                                         size_t fileLimit);

}  // namespace vantrel::platform
