// liblspuzipx.so: the unzip side's exported functions. Settings and the listing position live per
// thread; the password serves one execute call only.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives/DriveMap.h"
#include "platform/ziplib/ArchiveNames.h"
#include "platform/ziplib/EntryExtractor.h"
#include "platform/ziplib/EntryRecord.h"
#include "platform/ziplib/LibraryVersion.h"
#include "platform/ziplib/MappedFile.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/StatusCodes.h"
#include "platform/ziplib/ZipErrors.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;

struct Listing {
    zip_t* archive = nullptr;
    zip_uint64_t next = 0;
    zip_uint64_t count = 0;
    std::optional<std::vector<raw::CentralFields>> raw;
    std::optional<EntryInfo> last;

    void Close() {
        if (archive) {
            zip_discard(archive);
        }
        *this = Listing{};
    }
};

struct UnzipSettings {
    std::string archive;
    std::string names;
    std::string target;
    std::string password;
    ZipProgressFn callback = nullptr;
};

thread_local UnzipSettings t_settings;
thread_local Listing t_listing;

int32_t Store(std::string& setting, const char* value) {
    if (!value) {
        return 0;
    }
    setting = value;
    return 1;
}

int32_t OpenListing(const std::filesystem::path& archive) {
    t_listing.Close();
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!za) {
        return StatusOfZipError(error, errno);
    }
    zip_int64_t count = zip_get_num_entries(za, 0);
    if (count > INT32_MAX) {
        zip_discard(za);
        return status::kOutOfMemory;
    }
    t_listing.archive = za;
    t_listing.count = static_cast<zip_uint64_t>(count);
    MappedFile mapped(archive);
    if (mapped.IsOpen()) {
        t_listing.raw = raw::ReadCentralDirectory({mapped.Data(), mapped.Size()});
        if (t_listing.raw && t_listing.raw->size() != t_listing.count) {
            t_listing.raw.reset();  // libzip found another directory: trust libzip alone
        }
    }
    return static_cast<int32_t>(count);
}

// Tests or extracts one archive.
int32_t RunOnArchive(const std::filesystem::path& archive, int32_t action, int32_t flags,
                     ProgressTicker& ticker) {
    UnzipJob job{archive, t_settings.names, {}, t_settings.password, flags};
    if (action == kUnzipActionTest) {
        return TestEntries(job, ticker);
    }
    auto target = vantrel::platform::MapWindowsPath(t_settings.target);
    if (!target) {
        return status::kBadFileSpec;
    }
    job.target = *target;
    return ExtractEntries(job, ticker);
}

int32_t Execute(int32_t action, int32_t flags) {
    auto archives = ExpandArchiveNames(t_settings.archive);
    if (!archives) {
        return status::kBadArchiveName;
    }
    if (action == kUnzipActionList) {
        return archives->size() == 1 ? OpenListing(archives->front()) : status::kBadArchiveName;
    }
    if (action != kUnzipActionTest && action != kUnzipActionExtract) {
        return status::kInternal;
    }
    if (archives->empty()) {
        return status::kNameNotMatched;
    }
    // Every archive is worked on; the first failure is the call's result.
    ProgressTicker ticker(t_settings.callback);
    int32_t result = status::kOk;
    for (const auto& archive : *archives) {
        int32_t code = RunOnArchive(archive, action, flags, ticker);
        if (code == status::kAborted) {
            return code;
        }
        if (result == status::kOk) {
            result = code;
        }
    }
    return result;
}

int32_t NextEntry(void* record) {
    if (!record || !t_listing.archive) {
        return status::kInternal;
    }
    if (t_listing.next >= t_listing.count) {
        return status::kEmptyArchive;
    }
    zip_uint64_t index = t_listing.next++;
    const raw::CentralFields* raw = t_listing.raw ? &(*t_listing.raw)[index] : nullptr;
    ZipEntryRecord filled;
    EntryInfo info;
    int32_t code = FillEntryRecord(t_listing.archive, index, raw, filled, info);
    if (code == status::kOk) {
        std::memcpy(record, &filled, sizeof filled);
        t_listing.last = std::move(info);
    }
    return code;
}

template <typename Work>
int32_t Guarded(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return status::kOutOfMemory;
    } catch (...) {
        return status::kInternal;
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
    t_settings.callback = callback;
    return 1;
}

int32_t LSUZ_EXECUTE(int32_t action, int32_t flags) {
    int32_t code = Guarded([&] { return Execute(action, flags); });
    t_settings.password.clear();
    return code;
}

int32_t LSUZ_GETNEXT(void* record) {
    return Guarded([&] { return NextEntry(record); });
}

int32_t LSUZ_GETNEXTEX(void* record, char* fullName, int32_t fullNameSize, int64_t* size,
                       int64_t* compressedSize) {
    return Guarded([&] {
        int32_t code = NextEntry(record);
        if (code != status::kOk) {
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
        return status::kOk;
    });
}

}  // extern "C"
