#include "platform/ziplib/EntryExtractor.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/text/CaseFolding.h"
#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/CheckedZip.h"
#include "platform/ziplib/DeclaredSizeBound.h"
#include "platform/ziplib/EntryDecoder.h"
#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/EntryTimes.h"
#include "platform/ziplib/ParallelInflater.h"
#include "platform/ziplib/RawEntryInflate.h"
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
    std::string name;   // as libzip shows it, which the entry-name list matches
    std::string label;  // for a name with a NUL byte: as reported, with U+FFFD for it
    zip_stat_t stat{};  // its mtime as libzip reads it (see EntryTimes for the entry's own)
    uint32_t unixMode = 0;
    bool encrypted = false;
    bool folder = false;
    bool nameHasNul = false;

    // The name as reported.
    const std::string& Label() const { return nameHasNul ? label : name; }
};

EntryFacts FactsOf(zip_t* za, zip_uint64_t index,
                   const std::map<uint64_t, std::string>& namesWithNul) {
    EntryFacts facts;
    const char* name = zip_get_name(za, index, 0);
    facts.name = name ? name : "";
    if (auto stored = namesWithNul.find(index); stored != namesWithNul.end()) {
        facts.nameHasNul = true;
        facts.label = NameWithNulMarked(stored->second, facts.name);
    }
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

// Decodes data on its way to consume and keeps its CRC; Finish tells whether the data ended well.
// A failure of the data is kept for Finish, the consumer's own ends the feeding.
class Decoding {
  public:
    Decoding(uint16_t method, uint64_t size, const Consumer& consume)
        : decoder_(EntryDecoder::For(method, size)), consume_(consume) {}

    bool Feed(const char* data, size_t size) {
        return Run(reinterpret_cast<const uint8_t*>(data), size, false);
    }
    // A status code: 0 when the data ended where it should.
    int32_t Finish() {
        if (code_ == LSZIP_OK && !Run(nullptr, 0, true)) {
            return LSZIP_E_CREATE;
        }
        return code_ == LSZIP_OK && !ended_ ? LSZIP_E_DAMAGED : code_;
    }
    uint32_t Crc() const { return crc_; }

  private:
    bool Run(const uint8_t* next, size_t available, bool last) {
        while (decoder_ && code_ == LSZIP_OK && !ended_) {
            size_t before = available;
            size_t made = 0;
            auto result = decoder_->Decode(next, available, last, out_.data(), out_.size(), made);
            crc_ = static_cast<uint32_t>(crc32_z(crc_, out_.data(), made));
            if (made > 0 && !consume_(reinterpret_cast<const char*>(out_.data()), made)) {
                return false;
            }
            ended_ = result == EntryDecoder::Result::Ended;
            if (result == EntryDecoder::Result::Damaged) {
                code_ = LSZIP_E_DAMAGED;
            } else if (result == EntryDecoder::Result::OutOfMemory) {
                code_ = LSZIP_E_MEMORY;
            } else if (made == 0 && available == before) {
                break;  // it waits for more input
            }
        }
        if (!decoder_) {
            code_ = LSZIP_E_METHOD;
        }
        return true;
    }

    std::unique_ptr<EntryDecoder> decoder_;
    const Consumer& consume_;
    std::vector<uint8_t> out_ = std::vector<uint8_t>(1 << 16);
    uint32_t crc_ = 0;
    int32_t code_ = LSZIP_OK;
    bool ended_ = false;
};

// AES entries of the second kind carry no CRC (their authentication code protects them), but
// libzip would still compare their data with a CRC of 0.
bool CarriesNoCrc(const EntryFacts& facts) {
    return facts.encrypted && facts.stat.encryption_method != ZIP_EM_TRAD_PKWARE &&
           (facts.stat.valid & ZIP_STAT_CRC) && facts.stat.crc == 0 && facts.stat.size > 0;
}

// Encrypted entries whose data libzip only decrypts and this library decodes: those of a method
// libzip cannot decode, and deflated ones without a CRC.
bool DecodedHere(const EntryFacts& facts) {
    uint16_t method = static_cast<uint16_t>(facts.stat.comp_method);
    return facts.encrypted && EntryDecoder::Decodes(method) &&
           (method != kMethodDeflated || CarriesNoCrc(facts));
}

// Traditional encryption checks a password by one byte only: a wrong one mostly passes and its
// data then fails to decompress or to match its CRC. AES checks the password itself, so there
// such data is damaged.
int32_t PasswordOr(const EntryFacts& facts, int32_t code) {
    bool traditional = facts.stat.encryption_method == ZIP_EM_TRAD_PKWARE;
    return traditional && (code == LSZIP_E_CRC || code == LSZIP_E_DAMAGED) ? LSZIP_E_PASSWORD
                                                                           : code;
}

// Streams an entry's data to consume, ticking as it goes; returns a status code.
int32_t ReadEntry(zip_t* za, zip_uint64_t index, const EntryFacts& facts, zip_flags_t flags,
                  const std::string& password, CallerHooks& ticker, const Consumer& consume) {
    if (!(flags & ZIP_FL_ENCRYPTED) && DecodedHere(facts)) {
        Decoding decoding(static_cast<uint16_t>(facts.stat.comp_method), facts.stat.size, consume);
        int32_t code =
            ReadEntry(za, index, EntryFacts{}, ZIP_FL_COMPRESSED, password, ticker,
                      [&](const char* data, size_t size) { return decoding.Feed(data, size); });
        if (code == LSZIP_OK) {
            code = decoding.Finish();
        }
        if (code == LSZIP_OK && !CarriesNoCrc(facts) && decoding.Crc() != facts.stat.crc) {
            code = LSZIP_E_CRC;
        }
        return PasswordOr(facts, code);
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
    return facts.encrypted && !(flags & ZIP_FL_ENCRYPTED) ? PasswordOr(facts, code) : code;
}

// What a test without the password can check of an encrypted entry: that its data is long enough
// for the encryption's header (and AES's authentication code). The span check has made sure that
// the data lies in the archive.
int32_t CheckEncryptedLength(const EntryFacts& facts) {
    uint64_t least = 0;
    switch (facts.stat.encryption_method) {
        case ZIP_EM_TRAD_PKWARE:
            least = 12;
            break;
        case ZIP_EM_AES_128:
            least = 8 + 2 + 10;
            break;
        case ZIP_EM_AES_192:
            least = 12 + 2 + 10;
            break;
        case ZIP_EM_AES_256:
            least = 16 + 2 + 10;
            break;
        default:
            break;
    }
    return facts.stat.comp_size < least ? LSZIP_E_DAMAGED : LSZIP_OK;
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

    // Opens the archive and reads the list; a status code.
    int32_t Open(int openFlags) {
        auto names = EntryNameList::Parse(job_.names.empty() ? "*.*" : job_.names);
        if (!names) {
            return LSZIP_E_LIST;
        }
        names_ = std::move(*names);
        used_.assign(names_.Size(), false);
        SpanCheck spans = CheckEntrySpans(DescriptorReader(job_.archive.Fd()));
        if (int32_t code = OpenCheckedZip(job_.archive.Fd(), spans, openFlags, za_);
            code != LSZIP_OK) {
            if (spans.fault != SpanFault::None && code == LSZIP_E_STRUCTURE) {
                caller_.Report(code,
                               spans.name);  // entries that share their bytes: nothing is read
            }
            return code;
        }
        dataOffsets_ = std::move(spans.dataOffsets);
        namesWithNul_ = std::move(spans.namesWithNul);
        names_.PreferExactNames(EntryNames(za_.get()));
        return LSZIP_OK;
    }

    // The entry's own modification time (an extended time where it has one).
    std::time_t ModifiedTime(zip_uint64_t index, const EntryFacts& facts) const {
        return EntryModifiedTime(za_.get(), index, facts.stat);
    }

    // The entry's data as this library can read it straight from the archive (not encrypted,
    // stored or of a method EntryDecoder decodes, sizes and CRC known); nullopt where libzip must
    // read it.
    std::optional<RawEntry> RawOf(zip_uint64_t index, const EntryFacts& facts) const {
        constexpr zip_uint64_t kKnown =
            ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
        const zip_stat_t& st = facts.stat;
        auto method = static_cast<uint16_t>(st.comp_method);
        if (facts.encrypted || (st.valid & kKnown) != kKnown || index >= dataOffsets_.size() ||
            (method != kMethodStored && !EntryDecoder::Decodes(method))) {
            return std::nullopt;
        }
        return RawEntry{index, dataOffsets_[index], st.comp_size, st.size, st.crc, method};
    }

    // Reads the facts of the listed entries, once, and inflates the small ones that takes
    // accepts ahead on the library's worker threads (keeping their data for the reading, or,
    // without keepData, only checking it).
    void Survey(const std::function<bool(const EntryFacts&)>& takes, bool keepData) {
        std::vector<RawEntry> small;
        zip_int64_t count = zip_get_num_entries(za_.get(), 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            EntryFacts facts = FactsOf(za_.get(), i, namesWithNul_);
            if (!names_.Matches(facts.name, &used_)) {
                continue;
            }
            auto raw = RawOf(i, facts);
            if (raw && raw->size <= kWholeEntryLimit && raw->compressedSize <= kWholeEntryLimit &&
                takes(facts)) {
                small.push_back(*raw);
            }
            listed_.push_back({static_cast<zip_uint64_t>(i), std::move(facts)});
        }
        if (!small.empty()) {
            pool_.emplace();
            ahead_.emplace(job_.archive.Fd(), *pool_, std::move(small), keepData);
        }
    }

    // Reads the entry's data to consume, never more than its declared size; a status code.
    int32_t Read(zip_uint64_t index, const EntryFacts& facts, const Consumer& consume) {
        if (!IsReadableMethod(static_cast<uint16_t>(facts.stat.comp_method))) {
            return LSZIP_E_METHOD;
        }
        auto raw = RawOf(index, facts);
        if (!raw) {
            return ReadDeclared(za_.get(), index, facts, job_.password, caller_, consume);
        }
        if (!ahead_ || !ahead_->Has(index)) {
            return InflateStreamed(job_.archive.Fd(), *raw, caller_, consume);
        }
        ByteBuffer data;
        int32_t code = ahead_->Take(index, data);
        if (code == LSZIP_OK && !data.empty() &&
            !consume(reinterpret_cast<const char*>(data.data()), data.size())) {
            code = LSZIP_E_CREATE;
        }
        return code;
    }

    // Calls work for every listed entry (Survey found them) until it reports an abort; an entry
    // it fails is left out and reported by name. Returns the first failure, or 0.
    int32_t ForEachListed(const std::function<int32_t(zip_uint64_t, const EntryFacts&)>& work) {
        if (zip_get_num_entries(za_.get(), 0) == 0) {
            return LSZIP_E_EMPTY;
        }
        auto count = static_cast<int64_t>(listed_.size());
        for (int64_t i = 0; i < count; ++i) {
            if (!caller_.Tick(i, count)) {
                return LSZIP_E_ABORTED;
            }
            const auto& [index, facts] = listed_[static_cast<size_t>(i)];
            int32_t code = work(index, facts);
            if (code == LSZIP_E_ABORTED) {
                return code;
            }
            if (code == LSZIP_E_DISK_FULL) {
                caller_.Report(code, facts.Label());
                return code;  // the next entries would not fit either
            }
            if (code != LSZIP_OK && code != kReportedAlready) {
                caller_.Report(code, facts.Label());
            }
        }
        for (bool used : used_) {
            if (!used) {
                return LSZIP_E_NOT_MATCHED;
            }
        }
        return LSZIP_OK;
    }

    zip_t* Archive() const { return za_.get(); }
    // The facts of one entry, listed or not.
    EntryFacts Facts(zip_uint64_t index) const { return FactsOf(za_.get(), index, namesWithNul_); }

  private:
    const UnzipJob& job_;
    CallerHooks& caller_;
    EntryNameList names_ = *EntryNameList::Parse("");
    std::vector<bool> used_;
    OwnedZip za_;
    std::vector<uint64_t> dataOffsets_;
    std::map<uint64_t, std::string> namesWithNul_;
    std::vector<std::pair<zip_uint64_t, EntryFacts>> listed_;
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

// The entry's place below the target, or nullopt when extraction must refuse the entry (a name
// with a NUL byte included: no file can be named so, and libzip's blank for it is no name the
// archive holds).
std::optional<std::vector<std::string>> PlaceOf(const EntryFacts& facts) {
    if (S_ISLNK(facts.unixMode) || facts.nameHasNul) {
        return std::nullopt;
    }
    return SafeEntrySegments(facts.name);
}

// Whether PlaceOf gives the entry a place.
bool IsPlaceable(const EntryFacts& facts) {
    return !S_ISLNK(facts.unixMode) && !facts.nameHasNul && IsSafeEntryName(facts.name);
}

// One archive's extraction into a target folder.
class Extraction {
  public:
    Extraction(const UnzipJob& job, TargetFolder& target, CallerHooks& caller, ArchiveRun& run)
        : job_(job), target_(target), caller_(caller), run_(run) {}

    int32_t Entry(zip_uint64_t index, const EntryFacts& facts) {
        auto segments = PlaceOf(facts);
        if (!segments) {
            return LSZIP_E_REFUSED;  // nothing is written for it
        }
        bool noFolders = (job_.flags & LSUZ_FLAG_NO_FOLDERS) == LSUZ_FLAG_NO_FOLDERS;
        if (facts.folder && noFolders) {
            return LSZIP_OK;
        }
        if (noFolders) {
            segments = std::vector<std::string>{segments->back()};
        }
        if (!caller_.Allows(target_.RealPathOf(*segments, facts.folder))) {
            caller_.NoteRefusal();
            return kReportedAlready;
        }
        std::time_t modified = run_.ModifiedTime(index, facts);
        if (facts.folder) {
            folders_.push_back({*segments, modified, facts.unixMode});
            int32_t made = target_.MakeFolders(*segments);
            return Refused(made, *segments, true, target_.LastError()) ? kReportedAlready : made;
        }
        if (job_.flags & (LSUZ_FLAG_UPDATE | LSUZ_FLAG_FRESHEN)) {
            // A plain extraction writes whatever is there; WriteFile refuses links on its own.
            std::time_t existingTime = 0;
            int64_t existing = target_.Existing(*segments, &existingTime);
            if (existing < 0) {
                return LSZIP_E_REFUSED;
            }
            if (!ShouldWrite(job_.flags, existing, existingTime, modified)) {
                return LSZIP_OK;
            }
        }
        mode_t mode = S_ISREG(facts.unixMode) ? (facts.unixMode & 0777) : 0;
        return WriteFile(index, facts, *segments, modified, mode);
    }

    // Folders last, deepest first: writing their files would change their times again, and one
    // without write or search permission would have kept its files, or its subfolders, out.
    void FinishFolders() {
        std::stable_sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) {
            return a.segments.size() > b.segments.size();
        });
        for (const auto& folder : folders_) {
            target_.SetFolderTime(folder.segments, folder.modified);
            if (S_ISDIR(folder.unixMode)) {
                target_.SetFolderMode(folder.segments, folder.unixMode & 0777);
            }
        }
    }

  private:
    // A file the file system refuses is named where it would have been, with the reason.
    bool Refused(int32_t code, const std::vector<std::string>& segments, bool folder, int error) {
        return code == LSZIP_E_CREATE &&
               caller_.ReportRefusal(code, target_.RealPathOf(segments, folder), error);
    }

    int32_t WriteFile(zip_uint64_t index, const EntryFacts& facts,
                      const std::vector<std::string>& segments, std::time_t modified, mode_t mode) {
        caller_.CountRead(facts.stat.comp_size);
        int32_t written = target_.WriteFile(segments, modified, mode, [&](const Consumer& write) {
            return run_.Read(index, facts, [&](const char* bytes, size_t size) {
                caller_.CountWritten(size);
                return write(bytes, size);
            });
        });
        return Refused(written, segments, false, target_.LastError()) ? kReportedAlready : written;
    }

    const UnzipJob& job_;
    TargetFolder& target_;
    CallerHooks& caller_;
    ArchiveRun& run_;
    std::vector<StoredFolder> folders_;
};

}  // namespace

int32_t ExtractEntries(const UnzipJob& job, TargetFolder& target, CallerHooks& caller) {
    ArchiveRun run(job, caller);
    if (int32_t code = run.Open(0); code != LSZIP_OK) {
        return code;
    }
    std::function<bool(const EntryFacts&)> takes = [](const EntryFacts&) { return false; };
    if (!(job.flags & (LSUZ_FLAG_UPDATE | LSUZ_FLAG_FRESHEN))) {
        // Update and freshen pass most entries over: those are not worth inflating ahead.
        takes = [](const EntryFacts& facts) { return !facts.folder && IsPlaceable(facts); };
    }
    run.Survey(takes, true);
    Extraction extraction(job, target, caller, run);
    int32_t code = run.ForEachListed([&](zip_uint64_t index, const EntryFacts& facts) {
        return extraction.Entry(index, facts);
    });
    extraction.FinishFolders();
    return caller.Finish(code);
}

int32_t TestEntries(const UnzipJob& job, CallerHooks& caller) {
    ArchiveRun run(job, caller);
    // Opened as extraction opens it: a local header that leaves a size to its data descriptor
    // but states another (as bsdtar writes them) is no damage that extraction would refuse.
    if (int32_t code = run.Open(0); code != LSZIP_OK) {
        return code;
    }
    run.Survey(IsPlaceable, false);
    bool unverified = false;
    Consumer discard = [](const char*, size_t) { return true; };
    int32_t code = run.ForEachListed([&](zip_uint64_t index, const EntryFacts& facts) -> int32_t {
        if (!IsPlaceable(facts)) {
            return LSZIP_E_REFUSED;  // extraction would refuse it
        }
        caller.CountRead(facts.stat.comp_size);
        if (!IsReadableMethod(static_cast<uint16_t>(facts.stat.comp_method))) {
            return LSZIP_E_METHOD;
        }
        if (facts.encrypted && job.password.empty()) {
            unverified = true;
            return CheckEncryptedLength(facts);
        }
        return run.Read(index, facts, discard);
    });
    code = caller.Finish(code);
    return code == LSZIP_OK && unverified ? LSZIP_E_PASSWORD : code;
}

int32_t FindDamage(const UnzipJob& job, CallerHooks& quiet) {
    ArchiveRun run(job, quiet);
    if (int32_t code = run.Open(0); code != LSZIP_OK) {
        return code;
    }
    run.Survey([](const EntryFacts&) { return true; }, false);
    int32_t damage = LSZIP_OK;
    Consumer discard = [](const char*, size_t) { return true; };
    int32_t code = run.ForEachListed([&](zip_uint64_t index, const EntryFacts& facts) -> int32_t {
        if (!IsReadableMethod(static_cast<uint16_t>(facts.stat.comp_method))) {
            return LSZIP_OK;
        }
        int32_t found = facts.encrypted && job.password.empty() ? CheckEncryptedLength(facts)
                                                                : run.Read(index, facts, discard);
        if (found == LSZIP_E_ABORTED) {
            return found;
        }
        // A decoder's memory limit is no damage: a rebuilt archive would not read otherwise.
        if (damage == LSZIP_OK && found != LSZIP_E_MEMORY) {
            damage = found;
        }
        return LSZIP_OK;
    });
    return code == LSZIP_E_EMPTY ? LSZIP_OK : code != LSZIP_OK ? code : damage;
}

namespace {

// The index of the entry named name ("\" read as "/"): its exact name, else the one name that
// differs from it in letter case alone.
std::optional<zip_uint64_t> FindEntry(zip_t* za, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    std::vector<std::string> names = EntryNames(za);
    auto exact = std::find(names.begin(), names.end(), name);
    if (exact != names.end()) {
        return static_cast<zip_uint64_t>(exact - names.begin());
    }
    std::string folded = platform::FoldCase(name);
    std::optional<zip_uint64_t> found;
    for (size_t i = 0; i < names.size(); ++i) {
        if (platform::FoldCase(names[i]) == folded) {
            if (found) {
                return std::nullopt;  // several: none is meant more than the others
            }
            found = i;
        }
    }
    return found;
}

// Hands on every byte but the last one seen so far; the last goes on only with Release.
class HeldBack {
  public:
    explicit HeldBack(const EntryReader::Consumer& consume) : consume_(consume) {}

    bool operator()(const char* data, size_t size) {
        if (size == 0) {
            return true;
        }
        if ((held_ && !Pass(&last_, 1)) || (size > 1 && !Pass(data, size - 1))) {
            return false;
        }
        last_ = data[size - 1];
        held_ = true;
        return true;
    }
    bool Release() { return !held_ || Pass(&last_, 1); }
    bool Stopped() const { return stopped_; }

  private:
    bool Pass(const char* data, size_t size) {
        stopped_ = !consume_(data, size);
        return !stopped_;
    }

    const EntryReader::Consumer& consume_;
    char last_ = 0;
    bool held_ = false;
    bool stopped_ = false;
};

// A password check that needs no data: opening the entry reads the encryption's header.
int32_t CheckPassword(zip_t* za, zip_uint64_t index, const EntryFacts& facts,
                      const std::string& password) {
    if (password.empty()) {
        return LSZIP_E_PASSWORD;
    }
    zip_file_t* file = zip_fopen_index_encrypted(
        za, index, DecodedHere(facts) ? ZIP_FL_COMPRESSED : 0, password.c_str());
    if (!file) {
        return PasswordOr(facts, StatusOf(za));
    }
    zip_fclose(file);
    return LSZIP_OK;
}

}  // namespace

struct EntryReader::State {
    State(platform::ConfinedPath opened, const std::string& password)
        : archive(std::move(opened)),
          job{archive, "", password, 0},
          caller(CallerFunctions{}),
          run(job, caller) {}

    platform::ConfinedPath archive;
    UnzipJob job;
    CallerHooks caller;
    ArchiveRun run;
    zip_uint64_t index = 0;
    EntryFacts facts;
};

EntryReader::EntryReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
EntryReader::~EntryReader() = default;

int32_t EntryReader::Open(platform::ConfinedPath archive, const std::string& name,
                          const std::string& password, std::unique_ptr<EntryReader>& reader) {
    auto state = std::make_unique<State>(std::move(archive), password);
    if (int32_t code = state->run.Open(0); code != LSZIP_OK) {
        return code;
    }
    auto index = FindEntry(state->run.Archive(), name);
    if (!index) {
        // The contents page marks a byte it cannot show: such a name holds a NUL byte.
        return name.find("\xEF\xBF\xBD") != std::string::npos ? LSZIP_E_REFUSED
                                                              : LSZIP_E_NOT_MATCHED;
    }
    EntryFacts facts = state->run.Facts(*index);
    if (facts.folder) {
        return LSZIP_E_NOT_MATCHED;
    }
    if (facts.nameHasNul) {
        return LSZIP_E_REFUSED;
    }
    if (!IsReadableMethod(static_cast<uint16_t>(facts.stat.comp_method))) {
        return LSZIP_E_METHOD;
    }
    if (!(facts.stat.valid & ZIP_STAT_SIZE)) {
        return LSZIP_E_STRUCTURE;
    }
    if (facts.encrypted) {
        if (int32_t code = CheckPassword(state->run.Archive(), *index, facts, password);
            code != LSZIP_OK) {
            return code;
        }
    }
    state->index = *index;
    state->facts = std::move(facts);
    reader.reset(new EntryReader(std::move(state)));
    return LSZIP_OK;
}

uint64_t EntryReader::Size() const {
    return state_->facts.stat.size;
}

int32_t EntryReader::Read(const Consumer& consume) {
    HeldBack held(consume);
    int32_t code = state_->run.Read(state_->index, state_->facts, std::ref(held));
    if (held.Stopped()) {
        return LSZIP_E_ABORTED;
    }
    if (code == LSZIP_OK && !held.Release()) {
        return LSZIP_E_ABORTED;
    }
    return code;
}

}  // namespace vantrel::ziplib
