#include "platform/files/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {

std::vector<std::string> ListNames(std::string_view windowsPattern) {
    std::vector<std::string> names;
    ConfinedPath folder;
    std::string pattern;
    if (OpenFolderOf(windowsPattern, folder, pattern) != PathStatus::Ok) {
        return names;
    }
    for (const char* dots : {".", ".."}) {
        if (WildcardMatch(pattern, dots)) {
            names.push_back(dots);
        }
    }
    UniqueFd listing(::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listing ? ::fdopendir(listing.Get()) : nullptr;
    if (!dir) {
        return names;
    }
    listing.Release();
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != ".." && IsWindowsName(name) && WildcardMatch(pattern, name)) {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::string SystemTempPath() {
    DriveMap map = DriveMap::FromEnvironment();
    for (const auto& drive : map.Drives()) {
        if (drive.type != DriveType::Fixed) {
            continue;
        }
        std::string tmp = std::string{drive.letter, ':', '\\'} + "tmp\\";
        ConfinedPath made;
        if (ConfinedPath::Open(tmp, PathIntent::NewFolder, made) == PathStatus::Ok) {
            return tmp;
        }
    }
    return {};
}

std::string CurrentDirectory() {
    DriveMap map = DriveMap::FromEnvironment();
    if (map.Drives().empty()) {
        return {};
    }
    return std::string{map.Drives().front().letter, ':', '\\'};
}

}  // namespace vantrel::platform
