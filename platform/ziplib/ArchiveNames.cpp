#include "platform/ziplib/ArchiveNames.h"

#include <algorithm>

#include "platform/drives/DriveMap.h"
#include "platform/drives/JoinedPaths.h"
#include "platform/files/Wildcard.h"

namespace vantrel::ziplib {
namespace fs = std::filesystem;

namespace {

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// The regular files in folder whose names match pattern, in name order.
std::vector<fs::path> Matching(const fs::path& folder, const std::string& pattern) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec) &&
            platform::WildcardMatch(pattern, it->path().filename().string())) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::optional<std::vector<fs::path>> ExpandArchiveNames(const std::string& names) {
    std::vector<std::string> members = platform::InFolderOfFirst(platform::SplitJoinedPaths(names));
    std::vector<fs::path> archives;
    for (const std::string& windowsPath : members) {
        size_t slash = windowsPath.find_last_of('\\');
        std::string last = windowsPath.substr(slash + 1);
        if (!HasWildcard(last)) {
            auto path = platform::MapWindowsPath(windowsPath);
            if (!path || last.empty()) {
                return std::nullopt;
            }
            archives.push_back(*path);
            continue;
        }
        auto where = platform::MapWindowsPath(windowsPath.substr(0, slash + 1));
        if (!where) {
            return std::nullopt;
        }
        auto found = Matching(*where, last);
        archives.insert(archives.end(), found.begin(), found.end());
    }
    return archives;
}

}  // namespace vantrel::ziplib
