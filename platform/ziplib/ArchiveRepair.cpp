#include "platform/ziplib/ArchiveRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/ziplib/MappedFile.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/StatusCodes.h"

namespace vantrel::ziplib {
namespace fs = std::filesystem;

namespace {

// True when libzip reads the archive and every unencrypted entry decompresses with a good CRC.
bool ArchiveIsSound(const fs::path& archive) {
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        return false;
    }
    bool sound = true;
    std::vector<char> buffer(1 << 16);
    zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; sound && i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, i, 0, &st) != 0) {
            sound = false;
            break;
        }
        if (st.encryption_method != ZIP_EM_NONE) {
            continue;
        }
        zip_file_t* file = zip_fopen_index(za, i, 0);
        if (!file) {
            sound = false;
            break;
        }
        zip_int64_t got;
        while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0) {
        }
        sound = got == 0;
        zip_fclose(file);
    }
    zip_discard(za);
    return sound;
}

struct Recovery {
    std::vector<raw::LocalEntry> entries;
    bool hitBadEntry = false;
};

// The local headers one after the other from the start, until something else follows.
Recovery FollowLocalHeaders(raw::Bytes file, ProgressTicker& ticker) {
    Recovery found;
    uint64_t offset = 0;
    while (ticker.Tick(static_cast<int64_t>(offset), static_cast<int64_t>(file.size))) {
        auto entry = raw::ReadLocalEntry(file, offset);
        if (!entry) {
            break;  // the central directory, garbage, or a truncated last entry
        }
        if (raw::CheckEntryData(file, *entry) == raw::DataCheck::Bad) {
            found.hitBadEntry = true;
            break;
        }
        offset = entry->end;
        found.entries.push_back(std::move(*entry));
    }
    return found;
}

// Every local header anywhere in the file whose entry checks out; names seen once only.
Recovery ScanWholeFile(raw::Bytes file, ProgressTicker& ticker) {
    Recovery found;
    std::set<std::string> names;
    const uint8_t signature[4] = {0x50, 0x4b, 0x03, 0x04};
    uint64_t from = 0;
    auto total = static_cast<int64_t>(file.size);
    while (from < file.size && ticker.Tick(static_cast<int64_t>(from), total)) {
        auto hit = static_cast<const uint8_t*>(
            memmem(file.data + from, file.size - from, signature, sizeof signature));
        if (!hit) {
            break;
        }
        uint64_t offset = static_cast<uint64_t>(hit - file.data);
        auto entry = raw::ReadLocalEntry(file, offset);
        if (!entry || raw::CheckEntryData(file, *entry) == raw::DataCheck::Bad) {
            from = offset + 1;
            continue;
        }
        from = entry->end;
        if (names.insert(entry->name).second) {
            found.entries.push_back(std::move(*entry));
        }
    }
    return found;
}

bool WriteAll(int fd, const void* data, uint64_t size) {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, p, std::min<uint64_t>(size, 1u << 30));
        if (written <= 0) {
            return false;
        }
        p += written;
        size -= static_cast<uint64_t>(written);
    }
    return true;
}

// Copies the recovered entries unchanged and adds a central directory; returns a status code.
int32_t WriteRebuilt(raw::Bytes file, const std::vector<raw::LocalEntry>& entries, int fd) {
    std::vector<uint64_t> offsets;
    uint64_t position = 0;
    for (const auto& entry : entries) {
        offsets.push_back(position);
        uint64_t length = entry.end - entry.offset;
        if (!WriteAll(fd, file.data + entry.offset, length)) {
            return errno == ENOSPC ? status::kDiskFull : status::kZipping;
        }
        position += length;
    }
    std::string central = raw::BuildCentralDirectory(entries, offsets, position);
    if (!WriteAll(fd, central.data(), central.size()) || fsync(fd) != 0) {
        return errno == ENOSPC ? status::kDiskFull : status::kZipping;
    }
    return status::kOk;
}

bool OpensWithEntries(const fs::path& archive, size_t expected) {
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        return false;
    }
    bool same = zip_get_num_entries(za, 0) == static_cast<zip_int64_t>(expected);
    zip_discard(za);
    return same;
}

// Puts the rebuilt archive in the original's place, keeping the original when it held more.
int32_t ReplaceOriginal(const fs::path& archive, const fs::path& rebuilt, bool keepOriginal) {
    std::error_code ec;
    if (keepOriginal) {
        fs::path copy = DamagedCopyName(archive);
        fs::create_hard_link(archive, copy, ec);
        if (ec && !fs::copy_file(archive, copy, ec)) {
            return status::kReplaceArchive;
        }
    }
    fs::rename(rebuilt, archive, ec);
    return ec ? status::kReplaceArchive : status::kOk;
}

}  // namespace

fs::path DamagedCopyName(const fs::path& archive) {
    fs::path name = archive.string() + ".damaged";
    for (int i = 2; fs::exists(fs::symlink_status(name)); ++i) {
        name = archive.string() + ".damaged" + std::to_string(i);
    }
    return name;
}

int32_t RepairArchive(const fs::path& archive, bool harder, ProgressTicker& ticker) {
    MappedFile mapped(archive);
    if (!mapped.IsOpen()) {
        return status::kOpenFile;
    }
    if (!ticker.Tick(0, static_cast<int64_t>(mapped.Size()))) {
        return status::kAborted;
    }
    if (!harder && ArchiveIsSound(archive)) {
        return status::kOk;
    }
    raw::Bytes file{mapped.Data(), mapped.Size()};
    Recovery found = harder ? ScanWholeFile(file, ticker) : FollowLocalHeaders(file, ticker);
    if (ticker.Aborted()) {
        return status::kAborted;
    }
    if (found.entries.empty() || found.hitBadEntry) {
        return found.entries.empty() ? status::kFormat : status::kArchiveError;
    }
    std::string pattern = archive.string() + ".repair-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return status::kTempFile;
    }
    fs::path rebuilt = pattern;
    struct stat original {};
    if (stat(archive.c_str(), &original) == 0) {
        fchmod(fd, original.st_mode & 07777);  // mkstemp's 0600 would lock other users out
    }
    int32_t code = WriteRebuilt(file, found.entries, fd);
    ::close(fd);
    if (code == status::kOk && !OpensWithEntries(rebuilt, found.entries.size())) {
        code = status::kStructure;
    }
    if (code == status::kOk) {
        auto end = raw::FindEndRecord(file);
        bool holdsEverything = end && end->entries <= found.entries.size();
        code = ReplaceOriginal(archive, rebuilt, !holdsEverything);
    }
    if (code != status::kOk) {
        std::error_code ec;
        fs::remove(rebuilt, ec);
    }
    return code;
}

}  // namespace vantrel::ziplib
