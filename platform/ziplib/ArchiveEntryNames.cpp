#include "platform/ziplib/ArchiveEntryNames.h"

namespace vantrel::ziplib {

std::vector<std::string> EntryNames(zip_t* za) {
    std::vector<std::string> names;
    zip_int64_t count = zip_get_num_entries(za, 0);
    names.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
        names.emplace_back(name ? name : "");
    }
    return names;
}

}  // namespace vantrel::ziplib
