#include "host/HostFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "component/Component.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/LockFolder.h"

namespace vantrel::host {

namespace fs = std::filesystem;

namespace {

// Makes the missing segments of path beneath its drive's folder, entering each without following
// a link. made: whether the last segment was made now.
platform::UniqueFd MakeFolderBeneathDrive(const platform::WindowsPath& path, bool& made,
                                          std::string& why) {
    platform::ConfinedPath drive;
    if (platform::ConfinedPath::Open(std::string{path.drive, ':', '\\'},
                                     platform::PathIntent::Folder,
                                     drive) != platform::PathStatus::Ok) {
        why = "is its drive mapped?";
        return {};
    }
    platform::UniqueFd current(::openat(drive.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& segment : path.segments) {
        made = ::mkdirat(current.Get(), segment.c_str(), 0777) == 0;
        platform::UniqueFd next(::openat(current.Get(), segment.c_str(),
                                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            why = errno == ELOOP || errno == ENOTDIR
                      ? "a link or a file named " + segment + " lies in its way"
                      : std::strerror(errno);
            return {};
        }
        current = std::move(next);
    }
    return current;
}

}  // namespace

bool OpenHostFolder(const std::string& windowsPath, std::optional<mode_t> mode,
                    platform::ConfinedPath& folder, std::string& error) {
    if (platform::ConfinedPath::Open(windowsPath, platform::PathIntent::Folder, folder) ==
        platform::PathStatus::Ok) {
        return true;
    }
    auto path = platform::ParseWindowsPath(windowsPath);
    bool made = false;
    std::string why = "it is not a path on a drive";
    platform::UniqueFd fd = path ? MakeFolderBeneathDrive(*path, made, why) : platform::UniqueFd();
    struct stat info {};
    if (made && mode && ::fstat(fd.Get(), &info) == 0 && info.st_uid == ::geteuid()) {
        ::fchmod(fd.Get(), *mode);
    }
    if (!fd || !folder.Adopt(std::move(fd), path->ToString())) {
        error = "cannot create " + windowsPath + ": " + why;
        return false;
    }
    return true;
}

bool PrepareQueueFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    fs::path absolute = fs::absolute(folder, ec).lexically_normal();
    if (!absolute.has_filename()) {
        absolute = absolute.parent_path();
    }
    auto queue = platform::LockFolder::Create(absolute, error);
    if (!queue) {
        return false;
    }
    RemoveLocksOfEndedProcesses(*queue);
    ::setenv(platform::kQueueFolderVariable, absolute.c_str(), 1);
    return true;
}

}  // namespace vantrel::host
