#include "platform/ziplib/ArchiveRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files/TemporaryFiles.h"
#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/CheckedZip.h"
#include "platform/ziplib/EntryExtractor.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/MappedFile.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/ReadOnlyZip.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

// Whether the archive reads as the test reads it (see FindDamage): 0 when it does and is left
// alone, else the damage found or -30.
int32_t JudgeArchive(const ArchiveFile& archive, CallerHooks& caller) {
    platform::ConfinedPath opened;
    if (!opened.Adopt(platform::UniqueFd(::fcntl(archive.Fd(), F_DUPFD_CLOEXEC, 0)),
                      archive.RealPath())) {
        return LSZIP_E_OPEN;
    }
    CallerHooks quiet = caller.Quiet();
    return FindDamage(UnzipJob{.archive = opened}, quiet);
}

// libzip's view of the archive as the unzip side reads it; null when the span check or libzip
// refuses it.
OwnedZip OpenChecked(int archive, int flags) {
    OwnedZip za;
    OpenCheckedZip(archive, CheckEntrySpans(DescriptorReader(archive)), flags, za);
    return za;
}

struct Recovery {
    std::vector<raw::LocalEntry> entries;
    std::vector<std::string> missed;  // names of local headers whose entries could not be kept
    bool hitBadEntry = false;
};

// The name in the local header at offset, when the header and its name are in the file.
std::optional<std::string> HeaderName(raw::Bytes file, uint64_t offset) {
    constexpr uint64_t kFixedPart = 30;
    if (offset > file.size || file.size - offset < kFixedPart ||
        raw::Get32(file.data + offset) != raw::kLocalSignature) {
        return std::nullopt;
    }
    uint64_t length = raw::Get16(file.data + offset + 26);
    if (length == 0 || file.size - offset - kFixedPart < length) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(file.data + offset + kFixedPart), length);
}

void NoteMissed(raw::Bytes file, uint64_t offset, Recovery& found) {
    if (auto name = HeaderName(file, offset)) {
        found.missed.push_back(std::move(*name));
    }
}

// The local headers one after the other from the start, until something else follows.
Recovery FollowLocalHeaders(raw::Bytes file, CallerHooks& ticker) {
    Recovery found;
    uint64_t offset = 0;
    while (ticker.Tick(static_cast<int64_t>(offset), static_cast<int64_t>(file.size))) {
        auto entry = raw::ReadLocalEntry(file, offset);
        if (!entry) {
            NoteMissed(file, offset, found);  // a truncated last entry; else no header at all
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
Recovery ScanWholeFile(raw::Bytes file, CallerHooks& ticker) {
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
            NoteMissed(file, offset, found);
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
            return errno == ENOSPC ? LSZIP_E_DISK_FULL : LSZIP_E_WRITE;
        }
        position += length;
    }
    std::string central = raw::BuildCentralDirectory(entries, offsets, position);
    if (!WriteAll(fd, central.data(), central.size()) || fsync(fd) != 0) {
        return errno == ENOSPC ? LSZIP_E_DISK_FULL : LSZIP_E_WRITE;
    }
    return LSZIP_OK;
}

bool OpensWithEntries(int rebuilt, size_t expected) {
    OwnedZip za = OpenChecked(rebuilt, ZIP_CHECKCONS);
    return za && zip_get_num_entries(za.get(), 0) == static_cast<zip_int64_t>(expected);
}

bool NameIsTaken(int folder, const std::string& name) {
    struct stat info {};
    return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Keeps the damaged original beside the archive: a second name for it, or else a copy. The name
// it was kept under, or nullopt.
std::optional<std::string> KeepDamagedCopy(const ArchiveFile& archive) {
    std::string copy = DamagedCopyName(archive.FolderFd(), archive.Name());
    int folder = archive.FolderFd();
    if (::linkat(archive.Fd(), "", folder, copy.c_str(), AT_EMPTY_PATH) == 0 ||
        ::linkat(folder, archive.Name().c_str(), folder, copy.c_str(), 0) == 0) {
        return copy;
    }
    platform::UniqueFd out(
        ::openat(folder, copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    off_t offset = 0;
    auto size = static_cast<size_t>(archive.Info().st_size);
    while (out && offset < archive.Info().st_size) {
        ssize_t copied = ::copy_file_range(archive.Fd(), &offset, out.Get(), nullptr,
                                           size - static_cast<size_t>(offset), 0);
        if (copied <= 0) {
            ::unlinkat(folder, copy.c_str(), 0);
            return std::nullopt;
        }
    }
    if (!out.IsOpen() || ::fchmod(out.Get(), archive.Info().st_mode & 07777) != 0) {
        return std::nullopt;
    }
    return copy;
}

// A new file beside the archive for the rebuilt one, with the archive's permissions.
platform::UniqueFd CreateRebuilt(const ArchiveFile& archive, std::string& name) {
    name = platform::TemporaryFileName();
    platform::UniqueFd fd(::openat(archive.FolderFd(), name.c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd) {
        ::fchmod(fd.Get(), archive.Info().st_mode & 07777);  // 0600 would lock other users out
    }
    return fd;
}

// The names the damaged archive gives for its entries: its central directory's when it can still
// be read (as the unzip side reads it, else as libzip does), else those of the local headers the
// recovery met.
std::vector<std::string> NamedEntries(const ArchiveFile& archive, const Recovery& found) {
    int error = 0;
    OwnedZip za = OpenChecked(archive.Fd(), 0);
    if (za || (za = OpenReadOnlyZip(archive.Fd(), 0, &error))) {
        return EntryNames(za.get());
    }
    std::vector<std::string> names;
    for (const auto& entry : found.entries) {
        names.push_back(entry.name);
    }
    names.insert(names.end(), found.missed.begin(), found.missed.end());
    return names;
}

// Tells caller of every named entry the new archive lacks, and how many the old one held.
void ReportLost(const ArchiveFile& archive, const Recovery& found, std::optional<uint64_t> ended,
                CallerHooks& caller, RepairOutcome& outcome) {
    std::set<std::string> kept;
    for (const auto& entry : found.entries) {
        kept.insert(entry.name);
    }
    uint64_t lost = 0;
    for (const std::string& name : NamedEntries(archive, found)) {
        if (kept.insert(name).second) {
            caller.Report(LSZIP_E_DAMAGED, name);
            ++lost;
        }
    }
    uint64_t counted = std::max<uint64_t>(ended.value_or(0), found.entries.size() + lost);
    outcome.counted = static_cast<int32_t>(std::min<uint64_t>(counted, INT32_MAX));
}

}  // namespace

std::string DamagedCopyName(int folder, const std::string& archive) {
    std::string name = archive + ".damaged";
    for (int i = 2; NameIsTaken(folder, name); ++i) {
        name = archive + ".damaged" + std::to_string(i);
    }
    return name;
}

int32_t RepairArchive(ArchiveFile& archive, bool harder, CallerHooks& caller,
                      RepairOutcome& outcome) {
    if (!archive.Exists()) {
        return archive.OpenStatus() != LSZIP_OK ? archive.OpenStatus() : LSZIP_E_OPEN;
    }
    MappedFile mapped(archive.Fd());
    if (!mapped.IsOpen()) {
        return LSZIP_E_OPEN;
    }
    if (!caller.Tick(0, static_cast<int64_t>(mapped.Size()))) {
        return LSZIP_E_ABORTED;
    }
    if (!harder) {
        int32_t judged = JudgeArchive(archive, caller);
        if (judged == LSZIP_OK || judged == LSZIP_E_ABORTED) {
            return judged;
        }
    }
    raw::Bytes file{mapped.Data(), mapped.Size()};
    Recovery found = harder ? ScanWholeFile(file, caller) : FollowLocalHeaders(file, caller);
    if (caller.Aborted()) {
        return LSZIP_E_ABORTED;
    }
    if (mapped.Vanished()) {
        return LSZIP_E_STRUCTURE;  // the archive was shortened while it was read
    }
    if (found.entries.empty() || found.hitBadEntry) {
        return found.entries.empty() ? LSZIP_E_FORMAT : LSZIP_E_DAMAGED;
    }
    std::string rebuiltName;
    platform::UniqueFd rebuilt = CreateRebuilt(archive, rebuiltName);
    if (!rebuilt) {
        int32_t code = errno == EACCES || errno == EPERM || errno == EROFS ? LSZIP_E_CREATE
                                                                           : LSZIP_E_TEMP_FILE;
        caller.ReportRefusal(code, archive.RealPath(), errno);
        return code;
    }
    int32_t code = WriteRebuilt(file, found.entries, rebuilt.Get());
    if (code == LSZIP_OK && !OpensWithEntries(rebuilt.Get(), found.entries.size())) {
        code = LSZIP_E_STRUCTURE;
    }
    if (mapped.Vanished()) {
        code = LSZIP_E_STRUCTURE;  // what was copied may be zeros, not the archive's bytes
    }
    std::optional<uint64_t> ended;
    if (auto end = raw::FindEndRecord(file)) {
        ended = end->entries;
    }
    std::optional<std::string> keptAs;
    if (code == LSZIP_OK) {
        // Data in front of the first entry (a self-extractor's stub) is kept only in the copy.
        bool holdsEverything =
            ended && *ended <= found.entries.size() && found.entries.front().offset == 0;
        if (!holdsEverything && !(keptAs = KeepDamagedCopy(archive))) {
            code = LSZIP_E_REPLACE;
        }
    }
    if (code == LSZIP_OK && ::renameat(archive.FolderFd(), rebuiltName.c_str(), archive.FolderFd(),
                                       archive.Name().c_str()) != 0) {
        code = LSZIP_E_REPLACE;
    }
    if (code != LSZIP_OK) {
        ::unlinkat(archive.FolderFd(), rebuiltName.c_str(), 0);
        return code;
    }
    const std::string& path = archive.RealPath();
    outcome.recovered = static_cast<int32_t>(found.entries.size());
    outcome.keptAs = keptAs ? path.substr(0, path.size() - archive.Name().size()) + *keptAs : "";
    ReportLost(archive, found, ended, caller, outcome);
    caller.CountRead(mapped.Size());
    caller.CountWritten(static_cast<uint64_t>(::lseek(rebuilt.Get(), 0, SEEK_END)));
    return LSZIP_OK;
}

}  // namespace vantrel::ziplib
