#include "platform/ziplib/ArchiveNames.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>

#include "platform/drives/JoinedPaths.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/Wildcard.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

using platform::ConfinedPath;
using platform::PathIntent;
using platform::PathStatus;

namespace {

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

int32_t StatusOfUnopened(PathStatus opened) {
    switch (opened) {
        case PathStatus::Refused:
            return LSZIP_E_REFUSED;
        case PathStatus::WrongKind:
            return LSZIP_E_ARCHIVE_PATH;
        default:
            return LSZIP_E_OPEN;
    }
}

// The names of the regular files (never links) in folder that match pattern, in name order.
std::vector<std::string> Matching(const ConfinedPath& folder, const std::string& pattern) {
    std::vector<std::string> found;
    for (auto& entry : platform::ReadFolderEntries(folder.Fd())) {
        bool regular = entry.type == DT_REG || entry.type == DT_UNKNOWN;
        if (regular && platform::WildcardMatch(pattern, entry.name)) {
            found.push_back(std::move(entry.name));
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::optional<std::vector<NamedArchive>> ExpandArchiveNames(const std::string& names,
                                                            CallerHooks& caller) {
    std::vector<std::string> members = platform::InFolderOfFirst(platform::SplitJoinedPaths(names));
    std::vector<NamedArchive> archives;
    for (const std::string& windowsPath : members) {
        size_t slash = windowsPath.find_last_of('\\');
        std::string last = windowsPath.substr(slash == std::string::npos ? 0 : slash + 1);
        if (last.empty() && !windowsPath.empty()) {
            return std::nullopt;
        }
        PathIntent intent = HasWildcard(last) ? PathIntent::Folder : PathIntent::File;
        std::string opened = HasWildcard(last) ? windowsPath.substr(0, slash + 1) : windowsPath;
        NamedArchive named{windowsPath, {}, LSZIP_OK};
        // A pattern is judged as the place it names, in its folder's real location, before
        // anything is told of the folder or its files; each match is judged again.
        platform::LocationCheck check = caller.Check();
        if (check && HasWildcard(last)) {
            check = [&caller, &last](const std::string& folder) {
                return caller.Allows(folder + (folder.ends_with('\\') ? "" : "\\") + last);
            };
        }
        PathStatus status = ConfinedPath::Open(opened, intent, named.opened, check);
        if (status == PathStatus::NoDrive || status == PathStatus::OutsideDrive) {
            return std::nullopt;
        }
        if (status == PathStatus::Refused) {
            caller.NoteRefusal();
            continue;
        }
        if (status != PathStatus::Ok) {
            named.status = StatusOfUnopened(status);
            archives.push_back(std::move(named));
            continue;
        }
        if (!HasWildcard(last)) {
            archives.push_back(std::move(named));
            continue;
        }
        for (const std::string& match : Matching(named.opened, last)) {
            NamedArchive found{named.opened.RealPath() + match, {}, LSZIP_OK};
            PathStatus child = named.opened.OpenChild(match, PathIntent::File, found.opened);
            if (child == PathStatus::WrongKind) {
                continue;  // a link, a folder, a device
            }
            if (child == PathStatus::Ok && !caller.Allows(found.opened.RealPath())) {
                caller.NoteRefusal();
                continue;
            }
            found.status = child == PathStatus::Ok ? LSZIP_OK : StatusOfUnopened(child);
            archives.push_back(std::move(found));
        }
    }
    return archives;
}

}  // namespace vantrel::ziplib
