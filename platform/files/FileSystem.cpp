#include "platform/files/FileSystem.h"

#include <filesystem>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {
namespace fs = std::filesystem;

std::vector<std::string> ListNames(std::string_view windowsPattern) {
    std::vector<std::string> names;
    size_t slash = windowsPattern.find_last_of('\\');
    if (slash == std::string_view::npos) {
        return names;
    }
    std::string_view pattern = windowsPattern.substr(slash + 1);
    auto folder = MapWindowsPath(windowsPattern.substr(0, slash + 1));
    std::error_code ec;
    if (!folder || !fs::is_directory(*folder, ec)) {
        return names;
    }
    for (const char* dots : {".", ".."}) {
        if (WildcardMatch(pattern, dots)) {
            names.push_back(dots);
        }
    }
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsWindowsName(name) && WildcardMatch(pattern, name)) {
            names.push_back(name);
        }
    }
    return names;
}

std::string SystemTempPath() {
    DriveMap map = DriveMap::FromEnvironment();
    for (const auto& drive : map.Drives()) {
        if (drive.type != DriveType::Fixed) {
            continue;
        }
        std::error_code ec;
        fs::create_directories(drive.folder / "tmp", ec);
        if (!ec) {
            return std::string{drive.letter, ':', '\\'} + "tmp\\";
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
