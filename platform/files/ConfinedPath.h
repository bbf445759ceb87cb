#pragma once
// The one way in which the component and the zip library open what lies on a drive. A Windows path
// is never handed to the kernel whole: it is resolved one segment at a time beneath a handle on
// its drive's folder, each segment opened without following links. A symbolic link is followed by
// reading it and going on from where it points, and only while that stays inside the drive. The
// caller gets a descriptor and the real location (the Windows path of where the name really led),
// tests its policy on that location, and from then on uses the descriptor, never the name: a
// folder swapped for a link after the check changes nothing.
//
// Links are followed as the kernel follows its own under fs.protected_symlinks: in a folder that
// every account may write in and that is sticky (a shared drive, c:\temp), only a link of the
// acting account (the calling thread's file user id) or of the folder's owner leads anywhere, so
// one account cannot lead another's work to the other's own files. A path opened for writing (an
// archive to change, a folder to create or write into) never follows a link of another account,
// wherever it lies; only root's links are trusted besides the account's own.
//
// The caller's check hears the location before any failure is told: a path that is refused is
// refused whether or not something lies there, so the answers never show what exists where the
// check does not let the caller look.
//
// As on Windows, a segment that does not exist with its exact spelling finds an existing name that
// differs from it only in letter case, when exactly one such name exists.

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/files/UniqueFd.h"

namespace vantrel::platform {

// Why a path could not be opened.
enum class PathStatus {
    Ok,
    NoDrive,       // no drive letter, or one the drive map does not know
    OutsideDrive,  // ".." above the drive's root, or a link leading out of the drive's folder
    NotFound,      // a segment does not exist
    WrongKind,     // a file where a folder is needed, a folder where a file is, a device, a link
    Denied,        // the account may not look or go there
    Unusable,      // too many links, a name a Windows path cannot carry, another failure
    Refused,       // the caller's check refused the real location
};

// What the path must lead to.
enum class PathIntent {
    File,          // an existing regular file, opened for reading
    Folder,        // an existing folder, opened for listing (only for going through when the
                   // account may not read it)
    FileOrFolder,  // whichever of the two is there
    NewFolder,     // a folder, created with its missing parents when it does not exist
};

// What the path is opened for: to read, or to write in or at it.
enum class PathUse { Read, Write };

// Asked with the real location before anything is opened for use or created; false refuses.
using LocationCheck = std::function<bool(const std::string& realPath)>;

// A file or folder opened beneath its drive's folder. When check refuses the real location the
// result is Refused and nothing has been created. NewFolder opens for writing, the others for
// reading.
class ConfinedPath {
  public:
    static PathStatus Open(std::string_view windowsPath, PathIntent intent, ConfinedPath& result,
                           const LocationCheck& check = {});
    // The same for a use other than the intent's own: an existing folder to write in (uploads).
    static PathStatus Open(std::string_view windowsPath, PathIntent intent, PathUse use,
                           ConfinedPath& result, const LocationCheck& check = {});

    // An entry of this folder, opened without following links: a link is WrongKind.
    PathStatus OpenChild(std::string_view name, PathIntent intent, ConfinedPath& child) const;

    int Fd() const { return fd_.Get(); }
    const struct stat& Info() const { return info_; }
    bool IsFolder() const { return S_ISDIR(info_.st_mode); }
    // Where it really lies, as a Windows path: "c:\data\real.txt"; a folder ends in "\".
    const std::string& RealPath() const { return realPath_; }

    // Takes an opened descriptor (used by the resolution; fstat fills Info).
    bool Adopt(UniqueFd fd, std::string realPath);

  private:
    UniqueFd fd_;
    struct stat info_ {};
    std::string realPath_;
};

// The place where a file is to be written: the folder that holds it and the name in that folder.
// A link on the way, the last segment included, leads to where it points inside the drive, so a
// rewritten archive replaces the file the link names and leaves the link as it was. Opened for
// writing unless use says otherwise.
struct ConfinedLeaf {
    ConfinedPath folder;
    std::string name;      // the name in folder: as found on disk when it exists
    std::string realPath;  // folder.RealPath() + name (the check hears a folder with a "\")
    bool exists = false;   // something lies there now (see info)
    struct stat info {};   // of what lies there

    static PathStatus Open(std::string_view windowsPath, ConfinedLeaf& result,
                           const LocationCheck& check = {}, PathUse use = PathUse::Write);
};

// Opens the folder of a Windows path or pattern ("c:\temp\~sz*.~fb") for listing and working in
// with the *at calls (as for writing), and gives its last segment untouched (never resolved, so a
// link there is never followed).
PathStatus OpenFolderOf(std::string_view windowsPath, ConfinedPath& folder, std::string& last);

// True when both describe one file (device and inode).
bool SameFile(const struct stat& a, const struct stat& b);

// The status of a failed system call's errno.
PathStatus PathStatusOf(int error);

}  // namespace vantrel::platform
