// The exclude list applied to the entries that a delete would remove from an archive.
#include <algorithm>
#include <exception>

#include "component/archive/ListedEntries.h"
#include "component/core/Farbale.h"
#include "component/policy/PathLists.h"
#include "platform/text/CaseFolding.h"
#include "platform/ziplib/EntryNameList.h"

namespace vantrel {

namespace {

// How an entry name meets the path lists: as a path below the archive's own root, with
// backslashes, so "conf/web.config" is tested as "\conf\web.config" and an entry "\web.config\"
// or "web.config" of the list finds it. An entry's name is all the list can see: the archive's
// own path has passed the policy already.
std::string EntryAsPath(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return "\\" + name;
}

}  // namespace

// Every entry that the list would delete is found with the library's own rules (wildcards, folder
// entries "dir/*.*", exact names first) in the archive as it is now, inside the zip slot, and each
// is tested against the exclude list; the include list is not asked, as entry names are no paths
// on the server. An archive that cannot be listed is refused as long as there is an exclude list
// to test against.
bool Farbale::CheckDeletedEntryNames(const std::string& archive, const std::string& entries) {
    try {
        const std::string excluded = PathLists().Excluded();
        auto names = ziplib::EntryNameList::Parse(entries);
        if (excluded.empty() || !names || names->Empty()) {
            // Nothing to test against, or a list the library refuses without deleting anything.
            return true;
        }
        std::vector<std::string> entryNames;
        std::string error;
        auto take = [&](const ZipEntryRecord& record, const std::optional<FullEntry>& full) {
            entryNames.push_back(ListedEntryName(record, full));
        };
        if (!ForEachListedEntry(archive, take, error)) {
            Write(error + "<P>");
            return false;
        }
        names->PreferExactNames(entryNames);
        for (const std::string& name : entryNames) {
            if (names->Matches(name) && !MatchPathList(platform::FoldCase(EntryAsPath(name)),
                                                       excluded, PathListMode::Exclude)) {
                return false;
            }
        }
        return true;
    } catch (const std::exception&) {
        Write(std::string(kSecurityError) + strNewLine);
        return false;
    }
}

}  // namespace vantrel
