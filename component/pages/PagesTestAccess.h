#pragma once
// Test support for the browser pages: reaches the list builders of the component directly.

#include "component/core/Farbale.h"

namespace vantrel {

struct PagesTests;
template <>
struct FarbaleTestAccess<PagesTests> {
    struct Split {
        std::string drive, folder, file;
    };
    static Split SplitPath(const std::string& path) {
        Farbale component;
        Split split{"unset", "unset", "unset"};
        component.SplitPath(path, split.drive, split.folder, split.file);
        return split;
    }
    static std::string BuildFileTypeList(const std::string& pattern) {
        return Farbale().BuildFileTypeList(pattern);
    }
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
