// The versions of the zip library's two sides, as the information page shows them.
#include <string>

#include "component/archive/ZipLibrary.h"
#include "component/core/Farbale.h"

namespace vantrel {

namespace {

// 110 reads "1.10": the first digit, a full stop, the rest ("-" leads a negative number).
std::string VersionText(int32_t version) {
    std::string digits = std::to_string(version);
    return digits.substr(0, 1) + "." + digits.substr(1);
}

// A library that cannot be loaded is no error here: its version is simply empty.
template <typename Query>
std::string VersionOrEmpty(Query query) {
    try {
        return VersionText(query());
    } catch (...) {
        return {};
    }
}

}  // namespace

std::string Farbale::GetZipLibraryVersion() {
    return VersionOrEmpty([] { return lszip::LSZIP_VER(); });
}

std::string Farbale::GetUnzipLibraryVersion() {
    return VersionOrEmpty([] { return lszip::LSUZ_VER(); });
}

}  // namespace vantrel
