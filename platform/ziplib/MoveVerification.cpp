#include "platform/ziplib/MoveVerification.h"

#include <sys/stat.h>
#include <zip.h>

#include <unordered_map>

#include "platform/ziplib/DosTime.h"

namespace vantrel::ziplib {
namespace fs = std::filesystem;

namespace {

// Reads the entry to its end; libzip checks the checksum (and an encrypted entry's
// authentication code) as the last bytes arrive.
bool ReadsBackWhole(zip_t* za, zip_uint64_t index, const std::string& password) {
    zip_file_t* entry = password.empty()
                            ? zip_fopen_index(za, index, 0)
                            : zip_fopen_index_encrypted(za, index, 0, password.c_str());
    if (!entry) {
        return false;
    }
    char buffer[64 * 1024];
    zip_int64_t got = 0;
    while ((got = zip_fread(entry, buffer, sizeof buffer)) > 0) {
    }
    return zip_fclose(entry) == 0 && got == 0;
}

// The file still is what was zipped: same size as the entry, same modification time.
bool Unchanged(const SourceFile& file, zip_uint64_t entrySize) {
    std::error_code ec;
    auto size = fs::file_size(file.path, ec);
    if (ec || size != entrySize) {
        return false;
    }
    struct stat now;
    return ::stat(file.path.c_str(), &now) == 0 && now.st_mtime == file.modified;
}

}  // namespace

std::vector<bool> ConfirmWrittenEntries(const fs::path& archive,
                                        const std::vector<const SourceFile*>& written,
                                        const std::string& password) {
    std::vector<bool> confirmed(written.size(), false);
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        return confirmed;
    }
    std::unordered_map<std::string, zip_uint64_t> indexes;
    zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(za, i, 0)) {
            indexes.emplace(name, i);
        }
    }
    for (size_t i = 0; i < written.size(); ++i) {
        const SourceFile& file = *written[i];
        auto found = indexes.find(file.entryName);
        zip_stat_t st;
        if (file.isFolder || found == indexes.end() ||
            zip_stat_index(za, found->second, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
            continue;
        }
        confirmed[i] = Unchanged(file, st.size) && ReadsBackWhole(za, found->second, password);
    }
    zip_discard(za);
    return confirmed;
}

}  // namespace vantrel::ziplib
