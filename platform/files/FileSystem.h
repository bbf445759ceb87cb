#pragma once
// The file functions the component needs, on Windows paths that the drive map confines to their
// drives' folders.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// Lists a folder by a Windows path whose last segment is a wildcard ("c:\temp\*.*"), the way the
// system's find functions do: an existing folder always lists "." and ".." first. Names that
// cannot stand in a Windows path are left out. A missing or unreachable folder lists nothing.
std::vector<std::string> ListNames(std::string_view windowsPattern);

// The stand-in for the system's temporary path: the folder "tmp" on the first fixed drive of the
// drive map, created when missing, as a Windows path ending in a backslash ("c:\tmp\"). The file
// layer reaches it because it lies on a mapped drive. Empty when there is no such drive.
std::string SystemTempPath();

// The stand-in for the process's current directory: the root of the first mapped drive.
std::string CurrentDirectory();

}  // namespace vantrel::platform
