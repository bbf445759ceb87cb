// The administrator's include and exclude lists of paths.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::CheckPathAccess(const std::string&) { return false; }

bool Farbale::MatchPathList(const std::string&, const std::string&, PathListMode) { return false; }

}  // namespace vantrel
