// liblspzipx.so: the zip side's exported functions. Settings live per thread, so requests served
// on different threads never share them; the password serves one execute call only.
#include <new>
#include <string>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/ArchiveFolderLock.h"
#include "platform/ziplib/ArchiveRepair.h"
#include "platform/ziplib/ArchiveUpdate.h"
#include "platform/ziplib/LibraryVersion.h"
#include "platform/ziplib/StatusCodes.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;
using vantrel::platform::ConfinedLeaf;
using vantrel::platform::PathStatus;

struct ZipSettings {
    std::string tempFolder;
    std::string list;
    std::string password;
    CallerFunctions caller;
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
};

thread_local ZipSettings t_settings;

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
            return status::kBadArchiveName;
        case PathStatus::Refused:
            return status::kBadFileSpec;
        default:
            return action == kActionAdd || action == kActionUpdate ? status::kCreateFile
                                                                   : status::kOpenFile;
    }
}

int32_t Execute(const char* archivePath, int32_t action, int32_t level, int32_t flags,
                CallerHooks& caller) {
    if (!archivePath) {
        return status::kBadArchiveName;
    }
    if (level < 0 || level > 9 || action < kActionDelete || action > kActionRepair) {
        return status::kInternal;
    }
    ConfinedLeaf leaf;
    PathStatus opened = ConfinedLeaf::Open(archivePath, leaf, caller.Check());
    if (opened != PathStatus::Ok) {
        return ArchiveRefusal(opened, action);
    }
    ArchiveFolderLock oneChangeAtATime(leaf.folder.Fd());
    // Opened only now, under the lock, so that it is the archive a change before this one left.
    ArchiveFile archive(leaf.folder, leaf.name);
    if (archive.OpenStatus() != status::kOk) {
        return archive.OpenStatus();
    }
    if (action == kActionRepair) {
        return RepairArchive(archive, (flags & kFlagHarderRepair) != 0, caller);
    }
    ZipJob job{action, level, flags, t_settings.list, t_settings.password};
    return action == kActionDelete ? DeleteEntries(job, archive, caller)
                                   : AddFiles(job, archive, caller);
}

}  // namespace

extern "C" {

int32_t LSZIP_VER(void) {
    return kLibraryVersion;
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
    try {
        code = Execute(archive, action, level, flags, caller);
    } catch (const std::bad_alloc&) {
        code = status::kOutOfMemory;
    } catch (...) {
        code = status::kInternal;
    }
    t_settings.password.clear();
    t_settings.bytesRead = caller.BytesRead();
    t_settings.bytesWritten = caller.BytesWritten();
    return code;
}

int32_t LSZIP_GETBYTES(int64_t* read, int64_t* written) {
    if (read) {
        *read = static_cast<int64_t>(t_settings.bytesRead);
    }
    if (written) {
        *written = static_cast<int64_t>(t_settings.bytesWritten);
    }
    return 1;
}

}  // extern "C"
