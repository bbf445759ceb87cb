#pragma once
// Test support for the browser pages: reaches the list builders of the component directly.

#include "component/core/Farbale.h"

namespace vantrel {

struct PagesTests;
template <>
struct FarbaleTestAccess<PagesTests> {
    static std::string BuildDriveList(const std::string& drive) {
        return Farbale().BuildDriveList(drive);
    }
    struct Lists {
        int32_t count;
        std::string folders, files;
    };
    static Lists BuildFolderFileLists(const std::string& drive, const std::string& pattern,
                                      const std::string& folderPath) {
        Lists lists{0, "unset", "unset"};
        lists.count =
            Farbale().BuildFolderFileLists(drive, pattern, folderPath, lists.folders, lists.files);
        return lists;
    }
};
using PagesAccess = FarbaleTestAccess<PagesTests>;

}  // namespace vantrel
