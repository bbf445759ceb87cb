// liblspuzipx.so: the unzip side's exported functions. Settings and the listing position live per
// thread; the password serves one execute call only.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/ArchiveNames.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/CheckedZip.h"
#include "platform/ziplib/EntryExtractor.h"
#include "platform/ziplib/EntryRecord.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/LibraryVersion.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;
using vantrel::platform::ConfinedPath;
using vantrel::platform::PathIntent;
using vantrel::platform::PathStatus;

struct Listing {
    OwnedZip archive;
    zip_uint64_t next = 0;
    zip_uint64_t count = 0;
    std::vector<raw::CentralFields> raw;  // by index, as the span check read them
    std::map<uint64_t, std::string> namesWithNul;
    std::optional<EntryInfo> last;

    void Close() { *this = Listing{}; }
};

struct UnzipSettings {
    std::string archive;
    std::string names;
    std::string target;
    std::string password;
    CallerFunctions caller;
};

struct LastCall {
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
};

thread_local UnzipSettings t_settings;
thread_local Listing t_listing;
thread_local LastCall t_lastCall;

int32_t Store(std::string& setting, const char* value) {
    if (!value) {
        return 0;
    }
    setting = value;
    return 1;
}

// libzip's view of the one archive, once its entries have passed the span check; a status code.
int32_t OpenChecked(const NamedArchive& archive, SpanCheck& check, OwnedZip& za) {
    if (archive.status != LSZIP_OK) {
        return archive.status;
    }
    check = CheckEntrySpans(DescriptorReader(archive.opened.Fd()));
    return OpenCheckedZip(archive.opened.Fd(), check, 0, za);
}

int32_t OpenListing(const NamedArchive& archive) {
    t_listing.Close();
    SpanCheck check;
    OwnedZip za;
    if (int32_t code = OpenChecked(archive, check, za); code != LSZIP_OK) {
        return code;  // entries that share their bytes are not listed either
    }
    zip_int64_t count = zip_get_num_entries(za.get(), 0);
    if (count > INT32_MAX) {
        return LSZIP_E_MEMORY;
    }
    t_listing.archive = std::move(za);
    t_listing.count = static_cast<zip_uint64_t>(count);
    t_listing.raw = std::move(check.fields);
    t_listing.namesWithNul = std::move(check.namesWithNul);
    return static_cast<int32_t>(count);
}

// The folder extraction writes into, created when missing where the caller's check allows it.
int32_t OpenTarget(CallerHooks& caller, std::optional<ConfinedPath>& target) {
    target.emplace();
    PathStatus opened =
        ConfinedPath::Open(t_settings.target, PathIntent::NewFolder, *target, caller.Check());
    switch (opened) {
        case PathStatus::Ok:
            return LSZIP_OK;
        case PathStatus::Refused:
        case PathStatus::NoDrive:
        case PathStatus::OutsideDrive:
        case PathStatus::WrongKind:
        case PathStatus::Unusable:
            return LSZIP_E_REFUSED;
        default:
            return LSZIP_E_CREATE;
    }
}

int32_t Execute(int32_t action, int32_t flags, CallerHooks& caller) {
    auto archives = ExpandArchiveNames(t_settings.archive, caller);
    if (!archives) {
        return LSZIP_E_ARCHIVE_PATH;
    }
    if (action == LSUZ_LIST) {
        if (archives->size() != 1) {
            return caller.LeftOut() != LSZIP_OK ? caller.LeftOut() : LSZIP_E_ARCHIVE_PATH;
        }
        return OpenListing(archives->front());
    }
    if (action != LSUZ_TEST && action != LSUZ_EXTRACT) {
        return LSZIP_E_ARGUMENT;
    }
    if (archives->empty()) {
        return caller.Finish(LSZIP_E_NOT_MATCHED);
    }
    std::optional<ConfinedPath> targetFolder;
    std::vector<struct stat> read;
    if (action == LSUZ_EXTRACT) {
        if (int32_t code = OpenTarget(caller, targetFolder); code != LSZIP_OK) {
            return code;
        }
        for (const auto& archive : *archives) {
            read.push_back(archive.opened.Info());
        }
    }
    std::optional<TargetFolder> target;
    if (targetFolder) {
        target.emplace(*targetFolder, std::move(read));
    }
    // Every archive is worked on; the first failure is the call's result.
    int32_t result = LSZIP_OK;
    for (const auto& archive : *archives) {
        UnzipJob job{archive.opened, t_settings.names, t_settings.password, flags};
        int32_t code = archive.status;
        if (code == LSZIP_OK) {
            code = target ? ExtractEntries(job, *target, caller) : TestEntries(job, caller);
        }
        if (code == LSZIP_E_ABORTED) {
            return code;
        }
        if (result == LSZIP_OK) {
            result = code;
        }
    }
    return caller.Finish(result);
}

// The archive comment of the one archive LSUZ_ZIPNAME named, copied into comment (cut at a
// character boundary to size - 1 bytes); its whole length, or a status code.
int32_t ReadArchiveComment(char* comment, int32_t size) {
    if (!comment || size < 1) {
        return LSZIP_E_ARGUMENT;
    }
    CallerHooks caller(t_settings.caller);
    auto archives = ExpandArchiveNames(t_settings.archive, caller);
    if (!archives || archives->size() != 1) {
        return LSZIP_E_ARCHIVE_PATH;
    }
    SpanCheck check;
    OwnedZip za;
    if (int32_t code = OpenChecked(archives->front(), check, za); code != LSZIP_OK) {
        return code;
    }
    int length = 0;
    const char* text = zip_get_archive_comment(za.get(), &length, ZIP_FL_ENC_RAW);
    std::string whole = text ? std::string(text, static_cast<size_t>(length)) : std::string();
    std::string cut = CutUtf8(whole, static_cast<size_t>(size) - 1);
    std::memcpy(comment, cut.data(), cut.size());
    comment[cut.size()] = '\0';
    return static_cast<int32_t>(whole.size());
}

int32_t NextEntry(void* record) {
    if (!record || !t_listing.archive) {
        return LSZIP_E_ARGUMENT;
    }
    if (t_listing.next >= t_listing.count) {
        return LSZIP_E_EMPTY;
    }
    zip_uint64_t index = t_listing.next++;
    const raw::CentralFields* raw = index < t_listing.raw.size() ? &t_listing.raw[index] : nullptr;
    auto stored = t_listing.namesWithNul.find(index);
    const std::string* nameWithNul =
        stored != t_listing.namesWithNul.end() ? &stored->second : nullptr;
    ZipEntryRecord filled;
    EntryInfo info;
    int32_t code = FillEntryRecord(t_listing.archive.get(), index, raw, nameWithNul, filled, info);
    if (code == LSZIP_OK) {
        std::memcpy(record, &filled, sizeof filled);
        t_listing.last = std::move(info);
    }
    return code;
}

// The entry name of the one archive LSUZ_ZIPNAME named, opened for reading on its own.
int32_t OpenEntry(const char* name, void** entry, int64_t* size, CallerHooks& caller) {
    if (!name || !entry || !size) {
        return LSZIP_E_ARGUMENT;
    }
    auto archives = ExpandArchiveNames(t_settings.archive, caller);
    if (!archives || archives->size() != 1) {
        return LSZIP_E_ARCHIVE_PATH;
    }
    NamedArchive& archive = archives->front();
    if (archive.status != LSZIP_OK) {
        return archive.status;
    }
    std::unique_ptr<EntryReader> reader;
    int32_t code = EntryReader::Open(std::move(archive.opened), name, t_settings.password, reader);
    if (code == LSZIP_OK) {
        *size = static_cast<int64_t>(std::min<uint64_t>(reader->Size(), INT64_MAX));
        *entry = reader.release();
    }
    return code;
}

template <typename Work>
int32_t Guarded(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return LSZIP_E_MEMORY;
    } catch (...) {
        return LSZIP_E_ARGUMENT;
    }
}

}  // namespace

extern "C" {

int32_t LSUZ_VER(void) {
    return kLibraryVersion;
}

int32_t LSUZ_RESET(void) {
    t_listing.Close();
    t_settings = UnzipSettings{};
    return 1;
}

int32_t LSUZ_INIT(void) {
    return LSUZ_RESET();
}

int32_t LSUZ_GETCMT(char* comment, int32_t size) {
    return Guarded([&] { return ReadArchiveComment(comment, size); });
}

int32_t LSUZ_ZIPNAME(char* archive) {
    return Store(t_settings.archive, archive);
}

int32_t LSUZ_INCLUDE(char* names) {
    return Store(t_settings.names, names);
}

int32_t LSUZ_EXTRACTTO(char* folder) {
    return Store(t_settings.target, folder);
}

int32_t LSUZ_PASSWORD(char* password) {
    return Store(t_settings.password, password);
}

int32_t LSUZ_SETCALLBACK(ZipProgressFn callback) {
    t_settings.caller.progress = callback;
    return 1;
}

int32_t LSUZ_SETPATHCHECK(ZipPathCheckFn check) {
    t_settings.caller.check = check;
    return 1;
}

int32_t LSUZ_SETMSG(ZipMessageFn report) {
    t_settings.caller.report = report;
    return 1;
}

int32_t LSUZ_EXECUTE(int32_t action, int32_t flags) {
    CallerHooks caller(t_settings.caller);
    int32_t code = Guarded([&] { return Execute(action, flags, caller); });
    t_settings.password.clear();
    t_lastCall = {caller.BytesRead(), caller.BytesWritten()};
    return code;
}

int32_t LSUZ_GETBYTES(int64_t* read, int64_t* written) {
    if (read) {
        *read = static_cast<int64_t>(t_lastCall.bytesRead);
    }
    if (written) {
        *written = static_cast<int64_t>(t_lastCall.bytesWritten);
    }
    return 1;
}

int32_t LSUZ_OPENENTRY(char* name, void** entry, int64_t* size) {
    CallerHooks caller(t_settings.caller);
    int32_t code = Guarded([&] { return OpenEntry(name, entry, size, caller); });
    t_settings.password.clear();
    return code;
}

int32_t LSUZ_READENTRY(void* entry, ZipSinkFn sink, void* context) {
    if (!entry || !sink) {
        return LSZIP_E_ARGUMENT;
    }
    return Guarded([&] {
        return static_cast<EntryReader*>(entry)->Read([&](const char* data, size_t size) {
            return sink(context, data, static_cast<int32_t>(size)) == 0;
        });
    });
}

int32_t LSUZ_CLOSEENTRY(void* entry) {
    delete static_cast<EntryReader*>(entry);
    return 1;
}

int32_t LSUZ_GETNEXT(void* record) {
    return Guarded([&] { return NextEntry(record); });
}

int32_t LSUZ_GETNEXTEX(void* record, char* fullName, int32_t fullNameSize, int64_t* size,
                       int64_t* compressedSize) {
    return Guarded([&]() -> int32_t {
        int32_t code = NextEntry(record);
        if (code != LSZIP_OK) {
            return code;
        }
        const EntryInfo& info = *t_listing.last;
        if (fullName && fullNameSize > 0) {
            std::string cut = CutUtf8(info.name, static_cast<size_t>(fullNameSize) - 1);
            std::memcpy(fullName, cut.data(), cut.size());
            fullName[cut.size()] = '\0';
        }
        // A damaged archive may declare sizes beyond any file; the caller still gets no
        // negative one.
        if (size) {
            *size = static_cast<int64_t>(std::min<uint64_t>(info.size, INT64_MAX));
        }
        if (compressedSize) {
            *compressedSize =
                static_cast<int64_t>(std::min<uint64_t>(info.compressedSize, INT64_MAX));
        }
        return LSZIP_OK;
    });
}

}  // extern "C"
