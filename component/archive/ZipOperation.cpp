// Creating and changing archives.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::ZipOperation(std::string, std::string, std::string, std::string) { return false; }

bool Farbale::RunZipLibrary(std::string&, std::string&, int32_t&, int32_t&, std::string&, int32_t&,
                            std::string&) {
    return false;
}

}  // namespace vantrel
