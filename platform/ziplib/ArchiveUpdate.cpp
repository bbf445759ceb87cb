#include "platform/ziplib/ArchiveUpdate.h"

#include <sys/stat.h>
#include <zip.h>

#include <unordered_map>
#include <vector>

#include "platform/text/AsciiCase.h"
#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/DosTime.h"
#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/MoveVerification.h"
#include "platform/ziplib/SourceList.h"
#include "platform/ziplib/StatusCodes.h"
#include "platform/ziplib/ZipErrors.h"

namespace vantrel::ziplib {
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosFolder = 0x10;
constexpr uint32_t kDosArchive = 0x20;

bool HasAll(int32_t flags, int32_t bits) {
    return (flags & bits) == bits;
}

// libzip calls these while it writes the archive; the ticker decides when the caller hears.
struct CloseProgress {
    ProgressTicker* ticker;
    double done = 0;
};

void OnProgress(zip_t*, double done, void* state) {
    static_cast<CloseProgress*>(state)->done = done;
}

int OnCancel(zip_t*, void* state) {
    auto* progress = static_cast<CloseProgress*>(state);
    return progress->ticker->Tick(static_cast<int64_t>(progress->done * 1000), 1000) ? 0 : 1;
}

// Writes the archive and puts it in place; on failure the old archive stays as it was.
int32_t CloseArchive(zip_t* za, ProgressTicker& ticker) {
    CloseProgress progress{&ticker};
    zip_register_progress_callback_with_state(za, 0.001, OnProgress, nullptr, &progress);
    zip_register_cancel_callback_with_state(za, OnCancel, nullptr, &progress);
    if (zip_close(za) == 0) {
        return status::kOk;
    }
    int32_t code = ticker.Aborted() ? status::kAborted : StatusOf(za);
    zip_discard(za);
    return code;
}

// The entries by name with case ignored; libzip's own lookup ignoring case reads every name,
// which would make adding many files quadratic.
class EntryIndex {
  public:
    explicit EntryIndex(zip_t* za) {
        zip_int64_t count = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            if (const char* name = zip_get_name(za, i, 0)) {
                indexes_.emplace(platform::LowerAscii(name), i);
            }
        }
    }
    zip_int64_t Find(const std::string& name) const {
        auto found = indexes_.find(platform::LowerAscii(name));
        return found == indexes_.end() ? -1 : found->second;
    }
    void Add(const std::string& name, zip_int64_t index) {
        indexes_.emplace(platform::LowerAscii(name), index);
    }

  private:
    std::unordered_map<std::string, zip_int64_t> indexes_;
};

int32_t Discard(zip_t* za, int32_t code) {
    zip_discard(za);
    return code;
}

// Whether action puts this file into the archive, given the entry of the same name (-1: none).
bool Wanted(zip_t* za, zip_int64_t index, const SourceFile& file, int32_t action) {
    if (index < 0) {
        return action != kActionFreshen;
    }
    if (action == kActionAdd) {
        return true;
    }
    zip_stat_t st;
    return zip_stat_index(za, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME) &&
           FileIsNewerThanEntry(file.modified, st.mtime);
}

// Time, attributes, compression and encryption of a new or replaced entry.
bool DescribeEntry(zip_t* za, zip_uint64_t index, const SourceFile& file, const ZipJob& job) {
    uint32_t dos = file.isFolder ? kDosFolder : kDosArchive;
    if (!(file.mode & S_IWUSR)) {
        dos |= kDosReadOnly;
    }
    if (zip_file_set_mtime(za, index, file.modified, 0) != 0 ||
        zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX,
                                         ((file.mode & 0xFFFF) << 16) | dos) != 0) {
        return false;
    }
    if (file.isFolder) {
        return true;
    }
    int32_t method = job.level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(za, index, method, static_cast<zip_uint32_t>(job.level)) != 0) {
        return false;
    }
    return !(job.flags & kFlagEncrypt) ||
           zip_file_set_encryption(za, index, ZIP_EM_AES_256, job.password.c_str()) == 0;
}

// Adds or replaces one file; its index, or -1 with the archive's error set when libzip refuses.
zip_int64_t PutFile(zip_t* za, zip_int64_t index, const SourceFile& file, const ZipJob& job) {
    if (file.isFolder) {
        index = zip_dir_add(za, file.entryName.c_str(), ZIP_FL_ENC_GUESS);
        return index >= 0 && DescribeEntry(za, index, file, job) ? index : -1;
    }
    zip_source_t* source = zip_source_file(za, file.path.c_str(), 0, 0);
    if (!source) {
        return -1;
    }
    if (index >= 0) {
        if (zip_file_replace(za, index, source, 0) != 0) {
            zip_source_free(source);
            return -1;
        }
    } else {
        index = zip_file_add(za, file.entryName.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            return -1;
        }
    }
    return DescribeEntry(za, index, file, job) ? index : -1;
}

// The move's second half: only files that are now safely in the archive go. A file that cannot
// be confirmed, or not deleted, stays, and the move reports a copying error.
int32_t DeleteSources(const ZipJob& job, const std::vector<const SourceFile*>& written) {
    std::vector<bool> confirmed = ConfirmWrittenEntries(job.archive, written, job.password);
    int32_t code = status::kOk;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i]->isFolder) {
            continue;
        }
        std::error_code ec;
        if (!confirmed[i] || !fs::remove(written[i]->path, ec)) {
            code = status::kCopying;
        }
    }
    return code;
}

}  // namespace

int32_t AddFiles(const ZipJob& job, ProgressTicker& ticker) {
    if ((job.flags & kFlagEncrypt) && job.password.empty()) {
        return status::kBadPassword;
    }
    std::error_code ec;
    bool exists = fs::exists(job.archive, ec);
    if (!exists && job.action == kActionFreshen) {
        return status::kNothingToAdd;
    }
    if (!fs::is_directory(job.archive.parent_path(), ec)) {
        return status::kCreateFile;
    }
    std::vector<SourceFile> files;
    SourceOptions options{HasAll(job.flags, kFlagFullPaths), HasAll(job.flags, kFlagRecurse),
                          job.archive};
    if (int32_t code = ExpandSourceList(job.list, options, files); code != status::kOk) {
        return code;
    }
    if (files.empty()) {
        return status::kNothingToAdd;
    }
    int error = 0;
    zip_t* za = zip_open(job.archive.c_str(), ZIP_CREATE, &error);
    if (!za) {
        return StatusOfZipError(error, errno);
    }
    EntryIndex entries(za);
    std::vector<const SourceFile*> written;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!ticker.Tick(static_cast<int64_t>(i), static_cast<int64_t>(files.size()))) {
            return Discard(za, status::kAborted);
        }
        const SourceFile& file = files[i];
        zip_int64_t index = entries.Find(file.entryName);
        if (file.isFolder ? index >= 0 || job.action == kActionFreshen
                          : !Wanted(za, index, file, job.action)) {
            continue;
        }
        zip_int64_t put = PutFile(za, index, file, job);
        if (put < 0) {
            return Discard(za, StatusOf(za));
        }
        entries.Add(file.entryName, put);
        written.push_back(&file);
    }
    if (written.empty()) {
        return Discard(za, status::kOk);  // everything in the archive is up to date
    }
    if (int32_t code = CloseArchive(za, ticker); code != status::kOk) {
        return code;
    }
    return HasAll(job.flags, kFlagMove) ? DeleteSources(job, written) : status::kOk;
}

int32_t DeleteEntries(const ZipJob& job, ProgressTicker& ticker) {
    auto names = EntryNameList::Parse(job.list);
    if (!names) {
        return status::kListError;
    }
    if (names->Empty()) {
        return status::kNothingToDelete;
    }
    int error = 0;
    zip_t* za = zip_open(job.archive.c_str(), 0, &error);
    if (!za) {
        return StatusOfZipError(error, errno);
    }
    zip_int64_t count = zip_get_num_entries(za, 0);
    names->PreferExactNames(EntryNames(za));
    zip_int64_t deleted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (!ticker.Tick(i, count)) {
            return Discard(za, status::kAborted);
        }
        const char* name = zip_get_name(za, i, 0);
        if (name && names->Matches(name)) {
            zip_delete(za, i);
            ++deleted;
        }
    }
    if (deleted == 0) {
        return Discard(za, status::kNothingToDelete);
    }
    return CloseArchive(za, ticker);
}

}  // namespace vantrel::ziplib
