#include "platform/ziplib/ArchiveEntryNames.h"

namespace vantrel::ziplib {

namespace {

size_t SequenceLength(unsigned char lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

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

std::string NameWithNulMarked(const std::string& stored, const std::string& shown) {
    // Shown byte for byte, or converted: then each stored byte is one character of what is shown.
    bool converted = shown.size() != stored.size();
    std::string marked;
    size_t at = 0;
    for (char byte : stored) {
        if (at >= shown.size()) {
            break;
        }
        size_t length = converted ? SequenceLength(static_cast<unsigned char>(shown[at])) : 1;
        if (byte == '\0') {
            marked += "\xEF\xBF\xBD";
        } else {
            marked.append(shown, at, length);
        }
        at += length;
    }
    return marked;
}

}  // namespace vantrel::ziplib
