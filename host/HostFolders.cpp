#include "host/HostFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "component/Component.h"
#include "host/JournalLines.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/LockFolder.h"
#include "platform/install/Installation.h"

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

// The whole file open at fd.
std::string ReadWhole(int fd) {
    std::string text;
    char buffer[64 * 1024];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// The control pages open help.htm beside the page; a web root without one gets the copy from the
// program's data folder (share/vantrel).
void PutHelpPage(const platform::ConfinedPath& webRoot) {
    fs::path source = platform::SharedDataFolder() / "help.htm";
    platform::UniqueFd original(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!original) {
        return;
    }
    std::string page = ReadWhole(original.Get());
    platform::UniqueFd help(::openat(webRoot.Fd(), "help.htm",
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (help && ::write(help.Get(), page.data(), page.size()) < 0) {
        ::unlinkat(webRoot.Fd(), "help.htm", 0);
    }
}

void MakeDriveFolders(const HostOptions& options) {
    std::error_code made;
    fs::create_directories(options.dataFolder, made);
    for (const auto& drive : options.drives.Drives()) {
        std::error_code ec;
        if (drive.type == platform::DriveType::Fixed) {
            fs::create_directories(drive.folder, ec);
        }
    }
}

// Nothing depends on c:\temp: where it cannot be made the component uses the system's temporary
// path.
void MakeTempFolder(bool shared) {
    platform::ConfinedPath temp;
    auto mode = shared ? std::optional<mode_t>(01777) : std::nullopt;
    if (std::string why; !OpenHostFolder("c:\\temp", mode, temp, why)) {
        Say(Priority::Warning, "vantrel-host: " + why);
    }
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

bool PrepareHostFolders(const HostOptions& options, bool sharedTemp, std::string& error) {
    MakeDriveFolders(options);
    platform::ConfinedPath webRoot;
    if (!OpenHostFolder(options.webRoot, std::nullopt, webRoot, error) ||
        !PrepareQueueFolder(options.queueFolder, error)) {
        return false;
    }
    PutHelpPage(webRoot);
    MakeTempFolder(sharedTemp);
    return true;
}

void MakeInstalledLogFolder(const fs::path& auditLog) {
    const auto& installed = platform::Installation();
    if (!installed || auditLog.parent_path() != installed->logs) {
        return;
    }
    std::error_code ec;
    if (fs::create_directories(installed->logs, ec)) {
        fs::permissions(installed->logs,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec, ec);
    }
}

}  // namespace vantrel::host
