#include "platform/ziplib/MoveVerification.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>

#include <unordered_map>

#include "platform/ziplib/ReadOnlyZip.h"

namespace vantrel::ziplib {

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

// What lies at the file's place now, not following a link; false when nothing does.
bool StatInPlace(const SourceFile& file, SourceOpener& opener, struct stat& now) {
    int folder = opener.FolderFd(file.folder);
    return folder >= 0 && ::fstatat(folder, file.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
}

// The file still is what was zipped: the same file, of the entry's size, with the same time.
bool Unchanged(const SourceFile& file, zip_uint64_t entrySize, SourceOpener& opener) {
    struct stat now {};
    return StatInPlace(file, opener, now) && platform::SameFile(now, file.info) &&
           static_cast<zip_uint64_t>(now.st_size) == entrySize &&
           now.st_mtime == file.info.st_mtime;
}

}  // namespace

std::vector<bool> ConfirmWrittenEntries(int archive, const std::vector<const SourceFile*>& written,
                                        const std::string& password, SourceOpener& opener) {
    std::vector<bool> confirmed(written.size(), false);
    int error = 0;
    OwnedZip za = OpenReadOnlyZip(archive, ZIP_CHECKCONS, &error);
    if (!za) {
        return confirmed;
    }
    std::unordered_map<std::string, zip_uint64_t> indexes;
    zip_int64_t count = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(za.get(), i, 0)) {
            indexes.emplace(name, i);
        }
    }
    for (size_t i = 0; i < written.size(); ++i) {
        const SourceFile& file = *written[i];
        auto found = indexes.find(file.entryName);
        zip_stat_t st;
        if (file.isFolder || found == indexes.end() ||
            zip_stat_index(za.get(), found->second, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
            continue;
        }
        confirmed[i] =
            Unchanged(file, st.size, opener) && ReadsBackWhole(za.get(), found->second, password);
    }
    return confirmed;
}

bool DeleteSourceFile(const SourceFile& file, SourceOpener& opener) {
    struct stat now {};
    if (!StatInPlace(file, opener, now) || !platform::SameFile(now, file.info)) {
        return false;
    }
    return ::unlinkat(opener.FolderFd(file.folder), file.name.c_str(), 0) == 0;
}

}  // namespace vantrel::ziplib
