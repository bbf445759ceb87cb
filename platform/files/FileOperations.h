#pragma once
// Ordinary files addressed by Windows paths, for small bookkeeping files such as the operation
// queue's lock files: find by wildcard, create empty, delete. Paths go through the drive map, and
// symbolic links are never followed or counted, so a planted link cannot redirect a write.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The names of the ordinary files (not folders, not links) in a folder that match the wildcard in
// the pattern's last segment ("c:\temp\~sz*.~fb"), sorted. A missing folder gives none.
std::vector<std::string> FindOrdinaryFiles(std::string_view windowsPattern);

// Creates the file empty, or truncates it when it exists, and closes it at once. False when the
// path is unmapped, names a link or a folder, or cannot be written.
bool CreateEmptyFile(std::string_view windowsPath);

// Deletes one ordinary file. False when it is missing, is not an ordinary file, or stays.
bool DeleteOrdinaryFile(std::string_view windowsPath);

// Deletes every ordinary file that FindOrdinaryFiles lists for the pattern; true when all went.
bool DeleteMatchingFiles(std::string_view windowsPattern);

}  // namespace vantrel::platform
