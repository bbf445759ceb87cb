#include "platform/files/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/FolderEntries.h"
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
    for (auto& entry : ReadFolderEntries(folder.Fd())) {
        if (IsWindowsName(entry.name) && WildcardMatch(pattern, entry.name)) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::string SystemTempPath() {
    auto map = DriveMap::FromEnvironment();
    if (!map) {
        return {};
    }
    for (const auto& drive : map->Drives()) {
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
    auto map = DriveMap::FromEnvironment();
    if (!map || map->Drives().empty()) {
        return {};
    }
    return std::string{map->Drives().front().letter, ':', '\\'};
}

}  // namespace vantrel::platform
