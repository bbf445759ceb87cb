// The option lists of file types, drives, folders and files.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::SplitPath(const std::string&, std::string&, std::string&, std::string&) {}

std::string Farbale::BuildFileTypeList(const std::string&) { return {}; }

std::string Farbale::BuildDriveList(const std::string&) { return {}; }

int32_t Farbale::BuildFolderFileLists(const std::string&, const std::string&, const std::string&,
                                      std::string&, std::string&) {
    return -1;
}

}  // namespace vantrel
