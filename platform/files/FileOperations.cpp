#include "platform/files/FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/drives/WindowsPath.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/Wildcard.h"

namespace vantrel::platform {

namespace {

bool IsOrdinaryFile(int folder, const std::string& name) {
    struct stat info {};
    return fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> OrdinaryFilesMatching(const ConfinedPath& folder,
                                               const std::string& pattern) {
    std::vector<std::string> names;
    for (auto& entry : ReadFolderEntries(folder.Fd())) {
        if (IsWindowsName(entry.name) && WildcardMatch(pattern, entry.name) &&
            IsOrdinaryFile(folder.Fd(), entry.name)) {
            names.push_back(std::move(entry.name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::vector<std::string> FindOrdinaryFiles(std::string_view windowsPattern) {
    ConfinedPath folder;
    std::string pattern;
    if (OpenFolderOf(windowsPattern, folder, pattern) != PathStatus::Ok) {
        return {};
    }
    return OrdinaryFilesMatching(folder, pattern);
}

bool CreateEmptyFile(std::string_view windowsPath) {
    ConfinedPath folder;
    std::string name;
    if (OpenFolderOf(windowsPath, folder, name) != PathStatus::Ok || !IsWindowsName(name)) {
        return false;
    }
    UniqueFd fd(::openat(folder.Fd(), name.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    return fd && ::close(fd.Release()) == 0;
}

bool DeleteOrdinaryFile(std::string_view windowsPath) {
    ConfinedPath folder;
    std::string name;
    return OpenFolderOf(windowsPath, folder, name) == PathStatus::Ok && IsWindowsName(name) &&
           IsOrdinaryFile(folder.Fd(), name) && ::unlinkat(folder.Fd(), name.c_str(), 0) == 0;
}

bool DeleteMatchingFiles(std::string_view windowsPattern) {
    ConfinedPath folder;
    std::string pattern;
    if (OpenFolderOf(windowsPattern, folder, pattern) != PathStatus::Ok) {
        return true;
    }
    bool allGone = true;
    for (const auto& name : OrdinaryFilesMatching(folder, pattern)) {
        allGone = ::unlinkat(folder.Fd(), name.c_str(), 0) == 0 && allGone;
    }
    return allGone;
}

}  // namespace vantrel::platform
