#pragma once
// Windows paths ("c:\folder\file.txt") are the component's currency; these helpers take them apart
// and put them in canonical form without touching the disk.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// True when the path begins with a drive letter and colon ("c:...").
bool HasDriveLetter(std::string_view path);

// A path split into its drive letter (lower case) and its segments below the drive's root.
struct WindowsPath {
    char drive = 0;
    std::vector<std::string> segments;

    // "c:\a\b" for segments {a, b}; "c:\" for the root.
    std::string ToString() const;
};

// Parses "c:\a\.\b\..\c" into drive c and segments {a, c}: "." and empty segments are dropped,
// ".." removes the segment before it, forward slashes count as backslashes. Returns nullopt when
// the path has no drive letter and colon, or when ".." climbs above the drive's root.
std::optional<WindowsPath> ParseWindowsPath(std::string_view path);

// The canonical text of a path (see ParseWindowsPath); nullopt where that refuses it.
std::optional<std::string> NormalizeWindowsPath(std::string_view path);

// True when the name can stand as one segment of a Windows path on this server: not empty, no
// backslash, no slash, no NUL.
bool IsWindowsName(std::string_view name);

}  // namespace vantrel::platform
