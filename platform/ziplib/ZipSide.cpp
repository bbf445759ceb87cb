// liblspzipx.so: the zip side's exported functions. Settings live per thread, so requests served
// on different threads never share them; the password serves one execute call only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "platform/files/ConfinedPath.h"
#include "platform/files/TemporaryFiles.h"
#include "platform/ziplib/ArchiveFolderLock.h"
#include "platform/ziplib/ArchiveRepair.h"
#include "platform/ziplib/ArchiveUpdate.h"
#include "platform/ziplib/DosTime.h"
#include "platform/ziplib/EntryRecord.h"
#include "platform/ziplib/LibraryVersion.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;
using vantrel::platform::ConfinedLeaf;
using vantrel::platform::PathStatus;

struct ZipSettings {
    std::string tempFolder;
    std::string list;
    std::string password;
    std::optional<std::string> archiveComment;
    std::optional<std::string> fileComment;
    std::time_t newerThan = 0;
    bool removeArchive = false;
    CallerFunctions caller;
};

struct LastCall {
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
};

thread_local ZipSettings t_settings;
thread_local LastCall t_lastCall;
thread_local RepairOutcome t_lastRepair;

constexpr size_t kLongestComment = 65535;  // the zip format's 16-bit comment length

int32_t StoreComment(std::optional<std::string>& setting, const char* value) {
    if (!value || std::strlen(value) > kLongestComment) {
        return 0;
    }
    setting = value;
    return 1;
}

// Deletes the archive a call has just written, as LSZIP_REMOVEARCHIVE asked.
void RemoveWritten(const ConfinedLeaf& leaf) {
    struct stat info {};
    if (::fstatat(leaf.folder.Fd(), leaf.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode)) {
        ::unlinkat(leaf.folder.Fd(), leaf.name.c_str(), 0);
    }
}

int32_t Store(std::string& setting, const char* value) {
    if (!value) {
        return 0;
    }
    setting = value;
    return 1;
}

// The status of an archive path that cannot be used.
int32_t ArchiveRefusal(PathStatus opened, int32_t action) {
    switch (opened) {
        case PathStatus::NoDrive:
        case PathStatus::OutsideDrive:
        case PathStatus::WrongKind:
            return LSZIP_E_ARCHIVE_PATH;
        case PathStatus::Refused:
            return LSZIP_E_REFUSED;
        default:
            return action == LSZIP_ADD || action == LSZIP_UPDATE ? LSZIP_E_CREATE : LSZIP_E_OPEN;
    }
}

int32_t Execute(const char* archivePath, int32_t action, int32_t level, int32_t flags,
                CallerHooks& caller) {
    if (!archivePath) {
        return LSZIP_E_ARCHIVE_PATH;
    }
    if (level < 0 || level > 9 || action < LSZIP_DELETE || action > LSZIP_REPAIR) {
        return LSZIP_E_ARGUMENT;
    }
    ConfinedLeaf leaf;
    PathStatus opened = ConfinedLeaf::Open(archivePath, leaf, caller.Check());
    if (opened != PathStatus::Ok) {
        int32_t code = ArchiveRefusal(opened, action);
        caller.ReportRefusal(code, archivePath, opened == PathStatus::Denied ? EACCES : 0);
        return code;
    }
    ArchiveFolderLock oneChangeAtATime(leaf.folder.Fd());
    // What a crashed change left here goes before this one adds its own.
    vantrel::platform::RemoveDeadTemporaries(leaf.folder.Fd());
    // Opened only now, under the lock, so that it is the archive a change before this one left.
    ArchiveFile archive(leaf.folder, leaf.name);
    if (archive.OpenStatus() != LSZIP_OK) {
        caller.ReportRefusal(archive.OpenStatus(), leaf.realPath, archive.OpenError());
        return archive.OpenStatus();
    }
    int32_t code;
    if (action == LSZIP_REPAIR) {
        code =
            RepairArchive(archive, (flags & LSZIP_FLAG_HARDER_REPAIR) != 0, caller, t_lastRepair);
    } else {
        ZipJob job{action,
                   level,
                   flags,
                   t_settings.list,
                   t_settings.password,
                   t_settings.archiveComment,
                   t_settings.fileComment,
                   t_settings.newerThan};
        code = action == LSZIP_DELETE ? DeleteEntries(job, archive, caller)
                                      : AddFiles(job, archive, caller);
    }
    if (code == LSZIP_OK && t_settings.removeArchive) {
        RemoveWritten(leaf);
    }
    return code;
}

}  // namespace

extern "C" {

int32_t LSZIP_VER(void) {
    return kLibraryVersion;
}

int32_t LSZIP_INIT(void) {
    t_settings = ZipSettings{};
    return 1;
}

int32_t LSZIP_SETARCHIVECMT(char* comment) {
    return StoreComment(t_settings.archiveComment, comment);
}

int32_t LSZIP_SETFILECMT(char* comment) {
    return StoreComment(t_settings.fileComment, comment);
}

int32_t LSZIP_SETDATE(int32_t dosDateTime) {
    auto words = static_cast<uint32_t>(dosDateTime);
    t_settings.newerThan = words == 0 ? 0
                                      : FromDosDateTime({static_cast<uint16_t>(words >> 16),
                                                         static_cast<uint16_t>(words & 0xFFFF)});
    return t_settings.newerThan == -1 ? 0 : 1;
}

int32_t LSZIP_REMOVEARCHIVE(int32_t remove) {
    t_settings.removeArchive = remove != 0;
    return 1;
}

int32_t LSZIP_SETTEMPATH(char* folder) {
    return Store(t_settings.tempFolder, folder);
}

int32_t LSZIP_INCLUDE(char* list) {
    return Store(t_settings.list, list);
}

int32_t LSZIP_PASSWORD(char* password) {
    return Store(t_settings.password, password);
}

int32_t LSZIP_SETCALLBACK(ZipProgressFn callback) {
    t_settings.caller.progress = callback;
    return 1;
}

int32_t LSZIP_SETPATHCHECK(ZipPathCheckFn check) {
    t_settings.caller.check = check;
    return 1;
}

int32_t LSZIP_SETMSG(ZipMessageFn report) {
    t_settings.caller.report = report;
    return 1;
}

int32_t LSZIP_EXECUTE(char* archive, int32_t action, int32_t level, int32_t flags) {
    int32_t code;
    CallerHooks caller(t_settings.caller);
    t_lastRepair = RepairOutcome{};
    try {
        code = Execute(archive, action, level, flags, caller);
    } catch (const std::bad_alloc&) {
        code = LSZIP_E_MEMORY;
    } catch (...) {
        code = LSZIP_E_ARGUMENT;
    }
    t_settings.password.clear();
    t_settings.removeArchive = false;
    t_lastCall = {caller.BytesRead(), caller.BytesWritten()};
    return code;
}

int32_t LSZIP_GETBYTES(int64_t* read, int64_t* written) {
    if (read) {
        *read = static_cast<int64_t>(t_lastCall.bytesRead);
    }
    if (written) {
        *written = static_cast<int64_t>(t_lastCall.bytesWritten);
    }
    return 1;
}

int32_t LSZIP_GETREPAIR(int32_t* recovered, int32_t* counted, char* keptAs, int32_t size) {
    if (recovered) {
        *recovered = t_lastRepair.recovered;
    }
    if (counted) {
        *counted = t_lastRepair.counted;
    }
    if (keptAs && size > 0) {
        std::string cut = CutUtf8(t_lastRepair.keptAs, static_cast<size_t>(size) - 1);
        std::memcpy(keptAs, cut.data(), cut.size());
        keptAs[cut.size()] = '\0';
    }
    return 1;
}

}  // extern "C"
