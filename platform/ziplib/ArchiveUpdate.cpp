#include "platform/ziplib/ArchiveUpdate.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/text/CaseFolding.h"
#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/DeflatedSource.h"
#include "platform/ziplib/DosTime.h"
#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/EntryTimes.h"
#include "platform/ziplib/FileSource.h"
#include "platform/ziplib/MoveVerification.h"
#include "platform/ziplib/ParallelDeflater.h"
#include "platform/ziplib/SourceList.h"
#include "platform/ziplib/ZipErrors.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosFolder = 0x10;
constexpr uint32_t kDosArchive = 0x20;

bool HasAll(int32_t flags, int32_t bits) {
    return (flags & bits) == bits;
}

// libzip calls these while it writes the archive; the ticker decides when the caller hears.
struct CloseProgress {
    CallerHooks* caller;
    double done = 0;
};

void OnProgress(zip_t*, double done, void* state) {
    static_cast<CloseProgress*>(state)->done = done;
}

int OnCancel(zip_t*, void* state) {
    auto* progress = static_cast<CloseProgress*>(state);
    return progress->caller->Tick(static_cast<int64_t>(progress->done * 1000), 1000) ? 0 : 1;
}

// Writes the archive and puts it in place; on failure the old archive stays as it was, and a
// refusal by the file system is reported with the archive's name. The archive is libzip's no
// longer either way.
int32_t CloseArchive(OwnedZip& za, const ArchiveFile& archive, CallerHooks& caller) {
    CloseProgress progress{&caller};
    zip_register_progress_callback_with_state(za.get(), 0.001, OnProgress, nullptr, &progress);
    zip_register_cancel_callback_with_state(za.get(), OnCancel, nullptr, &progress);
    if (zip_close(za.get()) == 0) {
        za.release();
        return LSZIP_OK;
    }
    int32_t code = caller.Aborted() ? LSZIP_E_ABORTED : StatusOf(za.get());
    caller.ReportRefusal(code, archive.RealPath(), SystemErrorOf(za.get()));
    za.reset();
    return code;
}

// Discards the archive now, before the sources it was handed go: discarding frees them.
int32_t Discard(OwnedZip& za, int32_t code) {
    za.reset();
    return code;
}

// Which entry of the archive a source replaces. An entry with exactly the source's entry name is
// the match; only when none has, an entry whose name differs from it in letter case alone is,
// provided it is the only one and no source of the list carries its name exactly.
class EntryMatcher {
  public:
    EntryMatcher(zip_t* za, const std::deque<SourceFile>& files) {
        std::vector<std::string> names = EntryNames(za);
        std::set<std::string> sourceNames;
        for (const auto& file : files) {
            sourceNames.insert(file.entryName);
        }
        for (size_t i = 0; i < names.size(); ++i) {
            exact_.emplace(names[i], i);
            if (!sourceNames.count(names[i])) {
                folded_.emplace(platform::FoldCase(names[i]), i);
            }
        }
    }

    // The entry's index, or -1 for a new entry. A case-variant match is used once only.
    zip_int64_t Find(const std::string& name) {
        if (auto found = exact_.find(name); found != exact_.end()) {
            return static_cast<zip_int64_t>(found->second);
        }
        auto [first, last] = folded_.equal_range(platform::FoldCase(name));
        if (first == last || std::next(first) != last) {
            return -1;
        }
        auto index = static_cast<zip_int64_t>(first->second);
        folded_.erase(first);
        return index;
    }

  private:
    std::unordered_map<std::string, size_t> exact_;
    std::unordered_multimap<std::string, size_t> folded_;
};

// Whether the job puts this file into the archive, given the entry it would replace (-1: none).
bool Wanted(zip_t* za, zip_int64_t index, const SourceFile& file, const ZipJob& job) {
    int32_t action = job.action;
    if (job.newerThan && !file.isFolder && file.info.st_mtime <= job.newerThan) {
        return false;
    }
    if (index < 0) {
        return action != LSZIP_FRESHEN;
    }
    if (file.isFolder) {
        return false;
    }
    if (action == LSZIP_ADD) {
        return true;
    }
    zip_stat_t st;
    return zip_stat_index(za, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME) &&
           FileIsNewerThanEntry(file.info.st_mtime, EntryModifiedTime(za, index, st));
}

// Time, attributes, compression and encryption of a new or replaced entry.
bool DescribeEntry(zip_t* za, zip_uint64_t index, const SourceFile& file, const ZipJob& job) {
    uint32_t mode = file.info.st_mode;
    uint32_t dos = file.isFolder ? kDosFolder : kDosArchive;
    if (!(mode & S_IWUSR)) {
        dos |= kDosReadOnly;
    }
    if (zip_file_set_mtime(za, index, file.info.st_mtime, 0) != 0 ||
        !SetExtendedModifiedTime(za, index, file.info.st_mtime) ||
        zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX,
                                         ((mode & 0xFFFF) << 16) | dos) != 0) {
        return false;
    }
    // Folders and empty files are stored: libzip would otherwise set up a deflate stream (and
    // clear its tables) for each of them only to find nothing to deflate.
    bool empty = file.isFolder || file.info.st_size == 0;
    int32_t method = job.level == 0 || empty ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(za, index, method,
                                 empty ? 0 : static_cast<zip_uint32_t>(job.level)) != 0) {
        return false;
    }
    if (file.isFolder) {
        return true;
    }
    if (job.fileComment &&
        zip_file_set_comment(za, index, job.fileComment->data(),
                             static_cast<zip_uint16_t>(job.fileComment->size()), 0) != 0) {
        return false;
    }
    return !(job.flags & LSZIP_FLAG_ENCRYPT) ||
           zip_file_set_encryption(za, index, ZIP_EM_AES_256, job.password.c_str()) == 0;
}

// The sources of the new and replaced entries. Files to deflate are deflated ahead on the
// library's worker threads; libzip copies the results in the order of its entries. When the
// entries are placed in the order libzip will write them (a new archive's), the deflating of each
// begins as soon as it is placed.
class EntrySources {
  public:
    EntrySources(const ZipJob& job, SourceReading& reading, bool inWritingOrder)
        : job_(job), reading_(reading), inWritingOrder_(inWritingOrder) {
        if (job.level > 0) {
            pool_.emplace();
            deflater_.emplace(job.level, reading.opener, *pool_);
        }
    }

    // A source for file, null with the archive's error set when libzip refuses it.
    zip_source_t* New(zip_t* za, const SourceFile& file) {
        if (!deflater_ || file.info.st_size == 0) {
            return NewFileSource(za, file, reading_);
        }
        size_t number = deflater_->Add(file);
        pending_ = number;
        return NewDeflatedSource(za, file, reading_, *deflater_, number, job_.level);
    }
    // Where the last new source went: libzip writes entries in the order of their index.
    void Placed(zip_int64_t index) {
        if (pending_) {
            placed_.emplace_back(index, *pending_);
            pending_.reset();
            if (inWritingOrder_) {
                deflater_->Prefetch();
            }
        }
    }
    void Abandoned() { pending_.reset(); }
    // Before the archive is written: deflate in libzip's order.
    void Ready() {
        if (!deflater_) {
            return;
        }
        std::sort(placed_.begin(), placed_.end());
        std::vector<size_t> order;
        for (const auto& [index, number] : placed_) {
            order.push_back(number);
        }
        deflater_->ReadInOrder(std::move(order));
    }

  private:
    const ZipJob& job_;
    SourceReading& reading_;
    bool inWritingOrder_;
    std::optional<WorkerPool> pool_;  // outlives the deflater, whose pieces it runs
    std::optional<ParallelDeflater> deflater_;
    std::optional<size_t> pending_;
    std::vector<std::pair<zip_int64_t, size_t>> placed_;
};

// Gives the archive the job's comment; false with the archive's error set when libzip refuses.
bool CommentArchive(zip_t* za, const ZipJob& job) {
    return !job.archiveComment ||
           zip_set_archive_comment(za, job.archiveComment->data(),
                                   static_cast<zip_uint16_t>(job.archiveComment->size())) == 0;
}

// Adds or replaces one file; its index, or -1 with the archive's error set when libzip refuses.
zip_int64_t PutFile(zip_t* za, zip_int64_t index, const SourceFile& file, const ZipJob& job,
                    EntrySources& sources) {
    if (file.isFolder) {
        index = zip_dir_add(za, file.entryName.c_str(), ZIP_FL_ENC_GUESS);
        return index >= 0 && DescribeEntry(za, index, file, job) ? index : -1;
    }
    zip_source_t* source = sources.New(za, file);
    if (!source) {
        return -1;
    }
    if (index >= 0) {
        if (zip_file_replace(za, index, source, 0) != 0) {
            zip_source_free(source);
            sources.Abandoned();
            return -1;
        }
    } else {
        index = zip_file_add(za, file.entryName.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            sources.Abandoned();
            return -1;
        }
    }
    sources.Placed(index);
    return DescribeEntry(za, index, file, job) ? index : -1;
}

// The move's second half: only files that are now safely in the archive go. A file that cannot
// be confirmed, or not deleted, stays, and the move reports a copying error for it.
void DeleteSources(const ZipJob& job, const ArchiveFile& archive,
                   const std::vector<const SourceFile*>& written, SourceOpener& opener,
                   CallerHooks& caller) {
    std::vector<bool> confirmed =
        ConfirmWrittenEntries(archive.WrittenFd(), written, job.password, opener);
    for (size_t i = 0; i < written.size(); ++i) {
        if (!written[i]->isFolder && !(confirmed[i] && DeleteSourceFile(*written[i], opener))) {
            caller.Report(LSZIP_E_MOVE, written[i]->realPath);
        }
    }
}

}  // namespace

int32_t AddFiles(const ZipJob& job, ArchiveFile& archive, CallerHooks& caller) {
    if ((job.flags & LSZIP_FLAG_ENCRYPT) && job.password.empty()) {
        return LSZIP_E_PASSWORD;
    }
    if (!archive.Exists() && job.action == LSZIP_FRESHEN) {
        return LSZIP_E_NOTHING_TO_ADD;
    }
    std::deque<SourceFile> files;
    SourceOptions options{HasAll(job.flags, LSZIP_FLAG_FULL_PATHS),
                          HasAll(job.flags, LSZIP_FLAG_RECURSE),
                          archive.Exists() ? &archive.Info() : nullptr};
    // Every file of a new archive becomes an entry as soon as it is found, so that its deflating
    // begins while the rest are still looked for; the files of an existing archive's update are
    // matched against its entries once the whole list is known.
    bool streamed = !archive.Exists();
    int32_t code = LSZIP_OK;
    if (!streamed && (code = ExpandSourceList(job.list, options, caller, files)) != LSZIP_OK) {
        return code;
    }
    int error = 0;
    OwnedZip za = archive.Open(ZIP_CREATE, error);
    if (!za) {
        return StatusOfZipError(error, errno);
    }
    if (!CommentArchive(za.get(), job)) {
        return Discard(za, StatusOf(za.get()));
    }
    SourceReading reading;
    EntrySources sources(job, reading, streamed);
    std::vector<const SourceFile*> written;
    std::optional<EntryMatcher> entries;
    auto put = [&](const SourceFile& file) -> int32_t {
        if (!caller.Tick(static_cast<int64_t>(written.size()), 0)) {
            return LSZIP_E_ABORTED;
        }
        zip_int64_t index = entries ? entries->Find(file.entryName) : -1;
        if (!Wanted(za.get(), index, file, job)) {
            return LSZIP_OK;
        }
        if (PutFile(za.get(), index, file, job, sources) < 0) {
            return StatusOf(za.get());
        }
        written.push_back(&file);
        return LSZIP_OK;
    };
    if (streamed) {
        code = ExpandSourceList(job.list, options, caller, files, put);
    } else {
        entries.emplace(za.get(), files);
        for (const SourceFile& file : files) {
            if ((code = put(file)) != LSZIP_OK) {
                break;
            }
        }
    }
    if (code != LSZIP_OK) {
        return Discard(za, code);
    }
    if (files.empty()) {
        return Discard(za,
                       caller.LeftOut() != LSZIP_OK ? caller.LeftOut() : LSZIP_E_NOTHING_TO_ADD);
    }
    if (written.empty() && !job.archiveComment) {
        return Discard(za, caller.Finish(LSZIP_OK));  // the archive is up to date
    }
    sources.Ready();
    if (code = CloseArchive(za, archive, caller); code != LSZIP_OK) {
        if (reading.failed) {
            caller.Report(LSZIP_E_OPEN, reading.failed->realPath);
        }
        return code;
    }
    caller.CountRead(reading.bytesRead);
    caller.CountWritten(archive.WrittenSize());
    // A move deletes its originals only when the whole of it succeeded: with a file left out
    // (unreadable, refused, unnameable) the user is told of a failure, and nothing is gone.
    if (HasAll(job.flags, LSZIP_FLAG_MOVE) && caller.LeftOut() == LSZIP_OK) {
        DeleteSources(job, archive, written, reading.opener, caller);
    }
    return caller.Finish(LSZIP_OK);
}

int32_t DeleteEntries(const ZipJob& job, ArchiveFile& archive, CallerHooks& caller) {
    auto names = EntryNameList::Parse(job.list);
    if (!names) {
        return LSZIP_E_LIST;
    }
    if (names->Empty()) {
        return LSZIP_E_NOTHING_TO_DELETE;
    }
    if (!archive.Exists()) {
        return LSZIP_E_OPEN;
    }
    int error = 0;
    OwnedZip za = archive.Open(0, error);
    if (!za) {
        return StatusOfZipError(error, errno);
    }
    if (!CommentArchive(za.get(), job)) {
        return Discard(za, StatusOf(za.get()));
    }
    zip_int64_t count = zip_get_num_entries(za.get(), 0);
    names->PreferExactNames(EntryNames(za.get()));
    zip_int64_t deleted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (!caller.Tick(i, count)) {
            return Discard(za, LSZIP_E_ABORTED);
        }
        const char* name = zip_get_name(za.get(), i, 0);
        if (name && names->Matches(name)) {
            zip_delete(za.get(), i);
            ++deleted;
        }
    }
    if (deleted == 0) {
        return Discard(za, LSZIP_E_NOTHING_TO_DELETE);
    }
    if (int32_t code = CloseArchive(za, archive, caller); code != LSZIP_OK) {
        return code;
    }
    caller.CountRead(static_cast<uint64_t>(archive.Info().st_size));
    caller.CountWritten(archive.WrittenSize());
    return LSZIP_OK;
}

}  // namespace vantrel::ziplib
