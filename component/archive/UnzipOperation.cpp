// Extracting and testing archives.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::UnzipOperation(std::string, std::string, std::string, std::string, std::string) {
    return false;
}

bool Farbale::RunUnzipLibrary(std::string&, std::string&, std::string&, int32_t&, int32_t&,
                              std::string&, std::string&) {
    return false;
}

}  // namespace vantrel
