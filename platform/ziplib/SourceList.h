#pragma once
// The files an add, update or freshen works on. The list is either full Windows paths joined by
// "|", or a folder followed by a wildcard pattern ("c:\data\*.txt"); an item that names a folder
// stands for all of its files. Symbolic links are never followed.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib {

struct SourceFile {
    std::filesystem::path path;  // where it lies on this server
    std::string entryName;       // "a.txt", "sub/b.txt"; a folder ends in "/"
    bool isFolder = false;
    std::time_t modified = 0;
    uint32_t mode = 0;  // permission bits and file type, as stat reports them
};

struct SourceOptions {
    bool fullPaths = false;  // entry name = the path below the drive, else the path below the
                             // item's folder (the bare file name for files directly in it)
    bool recurse = false;    // descend into subfolders with the same pattern
    std::filesystem::path archive;  // never added to itself
};

// Fills files in list order (folders sorted by name) and returns a status code: a path outside
// every drive, a named file that does not exist, or two different files that would get the same
// entry name (case ignored) refuse the whole list.
int32_t ExpandSourceList(std::string_view list, const SourceOptions& options,
                         std::vector<SourceFile>& files);

}  // namespace vantrel::ziplib
