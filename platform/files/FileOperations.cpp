#include "platform/files/FileOperations.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {
namespace fs = std::filesystem;

namespace {

// The folder part of a Windows path or pattern, up to and including its last backslash.
std::string_view FolderPart(std::string_view windowsPath) {
    size_t slash = windowsPath.find_last_of('\\');
    return slash == std::string_view::npos ? std::string_view() : windowsPath.substr(0, slash + 1);
}

bool IsOrdinaryFile(const fs::path& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() == fs::file_type::regular;
}

}  // namespace

std::vector<std::string> FindOrdinaryFiles(std::string_view windowsPattern) {
    std::vector<std::string> names;
    std::string_view folderText = FolderPart(windowsPattern);
    if (folderText.empty()) {
        return names;
    }
    std::string_view pattern = windowsPattern.substr(folderText.size());
    auto folder = MapWindowsPath(folderText);
    std::error_code ec;
    if (!folder || !fs::is_directory(*folder, ec)) {
        return names;
    }
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsWindowsName(name) && WildcardMatch(pattern, name) && IsOrdinaryFile(it->path())) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool CreateEmptyFile(std::string_view windowsPath) {
    auto path = MapWindowsPath(windowsPath);
    if (!path) {
        return false;
    }
    int fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    return ::close(fd) == 0;
}

bool DeleteOrdinaryFile(std::string_view windowsPath) {
    auto path = MapWindowsPath(windowsPath);
    if (!path || !IsOrdinaryFile(*path)) {
        return false;
    }
    std::error_code ec;
    return fs::remove(*path, ec) && !ec;
}

bool DeleteMatchingFiles(std::string_view windowsPattern) {
    std::string folder(FolderPart(windowsPattern));
    bool allGone = true;
    for (const auto& name : FindOrdinaryFiles(windowsPattern)) {
        allGone = DeleteOrdinaryFile(folder + name) && allGone;
    }
    return allGone;
}

}  // namespace vantrel::platform
