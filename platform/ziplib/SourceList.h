#pragma once
// The files an add, update or freshen works on. The list is either full Windows paths joined by
// "|", or a folder followed by a wildcard pattern ("c:\data\*.txt"); an item that names a folder
// stands for all of its files. An item is opened where it really lies (a link inside the drive
// followed) and the caller's check asked about every file and folder found; inside a folder, links
// are never followed. A file is opened again later only where the list found it, and only while it
// is still the same file.

#include <sys/stat.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/CallerHooks.h"

namespace vantrel::ziplib {

// A folder the list found files in. The folder an item named is held open; those found below it
// are recognised by device and inode when their files are opened again.
struct SourceFolder {
    std::shared_ptr<const SourceFolder> parent;
    std::shared_ptr<const platform::ConfinedPath> opened;  // the item's own folder only
    // A folder below it while the list's expansion has it open: its files are opened through
    // the same handle meanwhile.
    std::weak_ptr<const platform::ConfinedPath> walked;
    std::string name;  // in parent
    struct stat info {};
};

struct SourceFile {
    std::shared_ptr<const SourceFolder> folder;
    std::string name;       // in folder
    std::string realPath;   // where it lies, as a Windows path: for messages
    std::string entryName;  // "a.txt", "sub/b.txt"; a folder ends in "/"
    bool isFolder = false;
    struct stat info {};  // as found: size, time, permissions, device and inode
};

struct SourceOptions {
    bool fullPaths = false;  // entry name = the path below the drive, else the path below the
                             // item's folder (the bare file name for files directly in it)
    bool recurse = false;    // descend into subfolders with the same pattern
    const struct stat* archive = nullptr;  // the archive being written, never one of its sources
};

// Told of each file as it joins the list (the file stays where it is in the list); a status code
// other than 0 stops the expansion, which then returns it.
using FoundFile = std::function<int32_t(const SourceFile&)>;

// Fills files in list order (folders' contents sorted by name; the same file named twice is taken
// once) and returns a status code: a path outside every drive (-152), a named file that does not
// exist (-1), or two different files that would get exactly the same entry name (-162) refuse the
// whole list. Files that cannot be read or named are reported through caller and left out; so are
// those the caller's check refuses. found, when given, hears of every file as soon as it is found,
// so that the work on the first files can begin while the rest are still looked for.
int32_t ExpandSourceList(std::string_view list, const SourceOptions& options, CallerHooks& caller,
                         std::deque<SourceFile>& files, const FoundFile& found = {});

// Opens the files of a list again for reading, each only if it still is the file found there;
// keeps the folders of the last few files open, since files come folder by folder.
class SourceOpener {
  public:
    // The file for reading, and its status now in now when given; empty with errno set when it
    // is gone or has been swapped.
    platform::UniqueFd Open(const SourceFile& file, struct stat* now = nullptr);
    // The file's folder (for deleting it after a move); -1 with errno set when it cannot be.
    int FolderFd(const std::shared_ptr<const SourceFolder>& folder);

  private:
    struct Cached {
        const SourceFolder* folder;
        platform::UniqueFd fd;
    };
    std::list<Cached> cache_;
};

}  // namespace vantrel::ziplib
