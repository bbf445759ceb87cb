#include "platform/ziplib/EntryExtractor.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/DeclaredSizeBound.h"
#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/ParallelInflater.h"
#include "platform/ziplib/RawEntryInflate.h"
#include "platform/ziplib/ReadOnlyZip.h"
#include "platform/ziplib/SafeEntryPath.h"
#include "platform/ziplib/ZipErrors.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

using Consumer = std::function<bool(const char*, size_t)>;

// What work returns for an entry left out that the caller already knows of (its check refused
// it, or it has been reported with more than its name): not reported again.
constexpr int32_t kReportedAlready = 1;

struct EntryFacts {
    std::string name;
    zip_stat_t stat{};
    uint32_t unixMode = 0;
    bool encrypted = false;
    bool folder = false;
};

EntryFacts FactsOf(zip_t* za, zip_uint64_t index) {
    EntryFacts facts;
    const char* name = zip_get_name(za, index, 0);
    facts.name = name ? name : "";
    zip_stat_index(za, index, 0, &facts.stat);
    uint8_t system = 0;
    uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX) {
        facts.unixMode = attributes >> 16;
    }
    facts.encrypted = (facts.stat.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
                      facts.stat.encryption_method != ZIP_EM_NONE;
    facts.folder = !facts.name.empty() && (facts.name.back() == '/' || facts.name.back() == '\\');
    return facts;
}

// Inflates raw deflate data on its way to consume; Finish tells whether the stream ended well.
class Inflater {
  public:
    explicit Inflater(const Consumer& consume) : consume_(consume) {
        ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
    }
    ~Inflater() { inflateEnd(&stream_); }

    bool Feed(const char* data, size_t size) {
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        while (ok_ && !ended_ && stream_.avail_in > 0) {
            stream_.next_out = reinterpret_cast<Bytef*>(out_.data());
            stream_.avail_out = static_cast<uInt>(out_.size());
            int result = inflate(&stream_, Z_NO_FLUSH);
            ok_ = result == Z_OK || result == Z_STREAM_END;
            ended_ = result == Z_STREAM_END;
            size_t made = out_.size() - stream_.avail_out;
            if (ok_ && made > 0 && !consume_(out_.data(), made)) {
                return false;  // the writer's own failure
            }
        }
        return true;
    }
    bool Finish() const { return ok_ && ended_; }

  private:
    const Consumer& consume_;
    z_stream stream_{};
    std::vector<char> out_ = std::vector<char>(1 << 16);
    bool ok_ = false;
    bool ended_ = false;
};

// AES entries of the second kind carry no CRC (their authentication code protects them), but
// libzip would still compare their data with a CRC of 0.
bool CarriesNoCrc(const EntryFacts& facts) {
    return facts.encrypted && facts.stat.encryption_method != ZIP_EM_TRAD_PKWARE &&
           (facts.stat.valid & ZIP_STAT_CRC) && facts.stat.crc == 0 && facts.stat.size > 0;
}

// Streams an entry's data to consume, ticking as it goes; returns a status code. Encrypted data
// that does not decompress to its CRC was read with the wrong password.
int32_t ReadEntry(zip_t* za, zip_uint64_t index, const EntryFacts& facts, zip_flags_t flags,
                  const std::string& password, CallerHooks& ticker, const Consumer& consume) {
    if (!(flags & ZIP_FL_ENCRYPTED) && CarriesNoCrc(facts) &&
        facts.stat.comp_method == ZIP_CM_DEFLATE) {
        // Decrypted (and authenticated) by libzip, inflated here, without the CRC comparison.
        Inflater inflater(consume);
        int32_t code =
            ReadEntry(za, index, EntryFacts{}, ZIP_FL_COMPRESSED, password, ticker,
                      [&](const char* data, size_t size) { return inflater.Feed(data, size); });
        if (code == LSZIP_OK && !inflater.Finish()) {
            code = LSZIP_E_DAMAGED;
        }
        return code == LSZIP_E_CRC || code == LSZIP_E_DAMAGED ? LSZIP_E_PASSWORD : code;
    }
    zip_file_t* file =
        zip_fopen_index_encrypted(za, index, flags, password.empty() ? nullptr : password.c_str());
    if (!file) {
        return StatusOf(za);
    }
    std::vector<char> buffer(1 << 16);
    int32_t code = LSZIP_OK;
    int64_t done = 0;
    int64_t total = static_cast<int64_t>(facts.stat.size);
    while (true) {
        zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
        if (got < 0) {
            code = StatusOf(file);
            break;
        }
        if (got == 0) {
            break;
        }
        done += got;
        if (!consume(buffer.data(), static_cast<size_t>(got))) {
            code = LSZIP_E_CREATE;
            break;
        }
        if (!ticker.Tick(done, total)) {
            code = LSZIP_E_ABORTED;
            break;
        }
    }
    zip_fclose(file);
    if (facts.encrypted && !(flags & ZIP_FL_ENCRYPTED) &&
        (code == LSZIP_E_CRC || code == LSZIP_E_DAMAGED)) {
        code = LSZIP_E_PASSWORD;
    }
    return code;
}

// Reads the entry's data, never more than the size its directory entry declares: an entry that
// would inflate past it, or ends short of it, is damaged, and no byte past the bound is consumed.
int32_t ReadDeclared(zip_t* za, zip_uint64_t index, const EntryFacts& facts,
                     const std::string& password, CallerHooks& caller, const Consumer& consume) {
    uint64_t declared = (facts.stat.valid & ZIP_STAT_SIZE) ? facts.stat.size : UINT64_MAX;
    DeclaredSizeBound bound(declared, consume);
    int32_t code = ReadEntry(za, index, facts, 0, password, caller, std::ref(bound));
    if (bound.Exceeded() || (code == LSZIP_OK && declared != UINT64_MAX && !bound.Whole())) {
        return LSZIP_E_DAMAGED;
    }
    return code;
}

class ArchiveRun {
  public:
    ArchiveRun(const UnzipJob& job, CallerHooks& caller) : job_(job), caller_(caller) {}
    ~ArchiveRun() {
        if (za_) {
            zip_discard(za_);
        }
    }

    // Opens the archive and reads the list; a status code.
    int32_t Open(int openFlags) {
        auto names = EntryNameList::Parse(job_.names.empty() ? "*.*" : job_.names);
        if (!names) {
            return LSZIP_E_LIST;
        }
        names_ = std::move(*names);
        used_.assign(names_.Size(), false);
        int error = 0;
        za_ = OpenReadOnlyZip(job_.archive.Fd(), openFlags, &error);
        if (!za_) {
            return StatusOfZipError(error, errno);
        }
        SpanCheck spans = CheckEntrySpans(DescriptorReader(job_.archive.Fd()));
        if (spans.fault != SpanFault::None) {
            caller_.Report(LSZIP_E_STRUCTURE, spans.name);
            return LSZIP_E_STRUCTURE;  // entries that share their bytes: nothing is read
        }
        dataOffsets_ = std::move(spans.dataOffsets);
        names_.PreferExactNames(EntryNames(za_));
        return LSZIP_OK;
    }

    // The entry's data as this library can read it straight from the archive (not encrypted,
    // stored or deflated, sizes and CRC known); nullopt where libzip must read it.
    std::optional<RawEntry> RawOf(zip_uint64_t index, const EntryFacts& facts) const {
        constexpr zip_uint64_t kKnown =
            ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
        const zip_stat_t& st = facts.stat;
        if (facts.encrypted || (st.valid & kKnown) != kKnown || index >= dataOffsets_.size() ||
            (st.comp_method != ZIP_CM_DEFLATE && st.comp_method != ZIP_CM_STORE)) {
            return std::nullopt;
        }
        return RawEntry{index,        dataOffsets_[index],
                        st.comp_size, st.size,
                        st.crc,       st.comp_method == ZIP_CM_DEFLATE};
    }

    // Inflates the small listed entries that take ok ahead on the library's worker threads.
    void InflateAhead(const std::function<bool(const EntryFacts&)>& takes) {
        std::vector<RawEntry> small;
        zip_int64_t count = zip_get_num_entries(za_, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            EntryFacts facts = FactsOf(za_, i);
            auto raw = RawOf(i, facts);
            if (raw && raw->size <= kWholeEntryLimit && raw->compressedSize <= kWholeEntryLimit &&
                names_.Matches(facts.name) && takes(facts)) {
                small.push_back(*raw);
            }
        }
        if (!small.empty()) {
            pool_.emplace();
            ahead_.emplace(job_.archive.Fd(), *pool_, std::move(small));
        }
    }

    // Reads the entry's data to consume, never more than its declared size; a status code.
    int32_t Read(zip_uint64_t index, const EntryFacts& facts, const Consumer& consume) {
        auto raw = RawOf(index, facts);
        if (!raw) {
            return ReadDeclared(za_, index, facts, job_.password, caller_, consume);
        }
        if (!ahead_ || !ahead_->Has(index)) {
            return InflateStreamed(job_.archive.Fd(), *raw, caller_, consume);
        }
        std::vector<uint8_t> data;
        int32_t code = ahead_->Take(index, data);
        if (code == LSZIP_OK && !data.empty() &&
            !consume(reinterpret_cast<const char*>(data.data()), data.size())) {
            code = LSZIP_E_CREATE;
        }
        return code;
    }

    // Calls work for every listed entry until it reports an abort; an entry it fails is left
    // out and reported by name. Returns the first failure, or 0.
    int32_t ForEachListed(const std::function<int32_t(zip_uint64_t, const EntryFacts&)>& work) {
        zip_int64_t count = zip_get_num_entries(za_, 0);
        if (count == 0) {
            return LSZIP_E_EMPTY;
        }
        for (zip_int64_t i = 0; i < count; ++i) {
            if (!caller_.Tick(i, count)) {
                return LSZIP_E_ABORTED;
            }
            EntryFacts facts = FactsOf(za_, i);
            if (!names_.Matches(facts.name, &used_)) {
                continue;
            }
            int32_t code = work(i, facts);
            if (code == LSZIP_E_ABORTED) {
                return code;
            }
            if (code == LSZIP_E_DISK_FULL) {
                caller_.Report(code, facts.name);
                return code;  // the next entries would not fit either
            }
            if (code != LSZIP_OK && code != kReportedAlready) {
                caller_.Report(code, facts.name);
            }
        }
        for (bool used : used_) {
            if (!used) {
                return LSZIP_E_NOT_MATCHED;
            }
        }
        return LSZIP_OK;
    }

    zip_t* Archive() const { return za_; }

  private:
    const UnzipJob& job_;
    CallerHooks& caller_;
    EntryNameList names_ = *EntryNameList::Parse("");
    std::vector<bool> used_;
    zip_t* za_ = nullptr;
    std::vector<uint64_t> dataOffsets_;
    std::optional<WorkerPool> pool_;  // outlives ahead_, whose entries it inflates
    std::optional<ParallelInflater> ahead_;
};

// A folder entry, whose time and permissions are set once everything is extracted.
struct StoredFolder {
    std::vector<std::string> segments;
    std::time_t modified = 0;
    uint32_t unixMode = 0;  // as stored; 0 when the archive stores none
};

// Whether the flags let this entry replace (or create) the file found at its place.
bool ShouldWrite(int32_t flags, int64_t existing, std::time_t existingTime, std::time_t entryTime) {
    bool newer = existing != 0 && entryTime > existingTime;
    if (flags & LSUZ_FLAG_FRESHEN) {
        return newer;
    }
    if (flags & LSUZ_FLAG_UPDATE) {
        return existing == 0 || newer;
    }
    return true;
}

// The entry's place below the target, or nullopt when extraction must refuse the entry.
std::optional<std::vector<std::string>> PlaceOf(const EntryFacts& facts) {
    auto segments = SafeEntrySegments(facts.name);
    if (!segments || S_ISLNK(facts.unixMode)) {
        return std::nullopt;
    }
    return segments;
}

}  // namespace

int32_t ExtractEntries(const UnzipJob& job, TargetFolder& target, CallerHooks& caller) {
    ArchiveRun run(job, caller);
    if (int32_t code = run.Open(0); code != LSZIP_OK) {
        return code;
    }
    bool noFolders = (job.flags & LSUZ_FLAG_NO_FOLDERS) == LSUZ_FLAG_NO_FOLDERS;
    if (!(job.flags & (LSUZ_FLAG_UPDATE | LSUZ_FLAG_FRESHEN))) {
        // Update and freshen pass most entries over: those are not worth inflating ahead.
        run.InflateAhead([](const EntryFacts& facts) { return !facts.folder && PlaceOf(facts); });
    }
    std::vector<StoredFolder> folders;
    // A file the file system refuses is named where it would have been, with the reason.
    auto refused = [&](int32_t code, const std::vector<std::string>& segments, bool folder) {
        return code == LSZIP_E_CREATE &&
               caller.ReportRefusal(code, target.RealPathOf(segments, folder), target.LastError());
    };
    int32_t code = run.ForEachListed([&](zip_uint64_t index, const EntryFacts& facts) -> int32_t {
        auto segments = PlaceOf(facts);
        if (!segments) {
            return LSZIP_E_REFUSED;  // nothing is written for it
        }
        if (facts.folder && noFolders) {
            return LSZIP_OK;
        }
        if (noFolders) {
            segments = std::vector<std::string>{segments->back()};
        }
        if (!caller.Allows(target.RealPathOf(*segments, facts.folder))) {
            caller.NoteRefusal();
            return kReportedAlready;
        }
        if (facts.folder) {
            folders.push_back({*segments, facts.stat.mtime, facts.unixMode});
            int32_t made = target.MakeFolders(*segments);
            return refused(made, *segments, true) ? kReportedAlready : made;
        }
        if (job.flags & (LSUZ_FLAG_UPDATE | LSUZ_FLAG_FRESHEN)) {
            // A plain extraction writes whatever is there; WriteFile refuses links on its own.
            std::time_t existingTime = 0;
            int64_t existing = target.Existing(*segments, &existingTime);
            if (existing < 0) {
                return LSZIP_E_REFUSED;
            }
            if (!ShouldWrite(job.flags, existing, existingTime, facts.stat.mtime)) {
                return LSZIP_OK;
            }
        }
        mode_t mode = S_ISREG(facts.unixMode) ? (facts.unixMode & 0777) : 0;
        int32_t written =
            target.WriteFile(*segments, facts.stat.mtime, mode, [&](const Consumer& write) {
                return run.Read(index, facts, [&](const char* data, size_t size) {
                    caller.CountWritten(size);
                    return write(data, size);
                });
            });
        caller.CountRead(facts.stat.comp_size);
        return refused(written, *segments, false) ? kReportedAlready : written;
    });
    // Folders last: writing their files would change their times again.
    for (const auto& folder : folders) {
        target.SetFolderTime(folder.segments, folder.modified);
    }
    // Their stored permissions after that, deepest first: one without write or search permission
    // would have kept its files, or its subfolders, out.
    std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        return a.segments.size() > b.segments.size();
    });
    for (const auto& folder : folders) {
        if (S_ISDIR(folder.unixMode)) {
            target.SetFolderMode(folder.segments, folder.unixMode & 0777);
        }
    }
    return caller.Finish(code);
}

int32_t TestEntries(const UnzipJob& job, CallerHooks& caller) {
    ArchiveRun run(job, caller);
    // Opened as extraction opens it: a local header that leaves a size to its data descriptor
    // but states another (as bsdtar writes them) is no damage that extraction would refuse.
    if (int32_t code = run.Open(0); code != LSZIP_OK) {
        return code;
    }
    run.InflateAhead([](const EntryFacts& facts) { return PlaceOf(facts).has_value(); });
    bool unverified = false;
    Consumer discard = [](const char*, size_t) { return true; };
    int32_t code = run.ForEachListed([&](zip_uint64_t index, const EntryFacts& facts) -> int32_t {
        if (!PlaceOf(facts)) {
            return LSZIP_E_REFUSED;  // extraction would refuse it
        }
        caller.CountRead(facts.stat.comp_size);
        if (facts.encrypted && job.password.empty()) {
            unverified = true;  // only its stored bytes can be read without the password
            return ReadEntry(run.Archive(), index, facts, ZIP_FL_ENCRYPTED, "", caller, discard);
        }
        return run.Read(index, facts, discard);
    });
    code = caller.Finish(code);
    return code == LSZIP_OK && unverified ? LSZIP_E_PASSWORD : code;
}

}  // namespace vantrel::ziplib
