#pragma once
// The folders a host makes for itself at start: its data folder, the folders of its fixed drives,
// the web root (with the help page) and c:\temp on their drive, the operation queue's folder and
// the installed program's log folder. A missing folder is made with mkdirat beneath the descriptor
// of the folder that holds it and then opened without following a link, so a link planted in its
// place is never followed to make or change anything; the mode of a folder the host did not make is
// never changed.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "host/HostOptions.h"
#include "platform/files/ConfinedPath.h"

namespace vantrel::host {

// Opens the folder at windowsPath, making it when missing. An existing folder is used as it is,
// through the links an administrator may have made on the way inside its drive. A missing one is
// made segment by segment beneath its drive's folder; mode, when given, is set on it when the host
// made its last segment. False with the reason when there is no such folder and it cannot be
// made (a link or a file lies in its way).
bool OpenHostFolder(const std::string& windowsPath, std::optional<mode_t> mode,
                    platform::ConfinedPath& folder, std::string& error);

// Makes the queue's folder (platform::LockFolder::Create), removes the lock files that ended
// processes left in it, and names it to the component through VANTREL_QUEUE. False with the
// reason when the folder cannot be the host's own.
bool PrepareQueueFolder(const std::filesystem::path& folder, std::string& error);

// Makes every folder the host serves from, once its drive map is the process's. sharedTemp:
// c:\temp, when made now, is the accounts' to share, like /tmp. False with the reason when the
// web root or the queue's folder cannot be had; c:\temp is only warned about.
bool PrepareHostFolders(const HostOptions& options, bool sharedTemp, std::string& error);

// The installed program keeps its logs in a folder of its own, made when missing and closed to
// other accounts (the audit log names who did what); logs elsewhere are left to the
// administrator.
void MakeInstalledLogFolder(const std::filesystem::path& auditLog);

}  // namespace vantrel::host
