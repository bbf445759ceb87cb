// liblspzipx.so: the zip side's exported functions. Settings live per thread, so requests served
// on different threads never share them; the password serves one execute call only.
#include <new>
#include <string>

#include "platform/drives/DriveMap.h"
#include "platform/ziplib/ArchiveFolderLock.h"
#include "platform/ziplib/ArchiveRepair.h"
#include "platform/ziplib/ArchiveUpdate.h"
#include "platform/ziplib/LibraryVersion.h"
#include "platform/ziplib/StatusCodes.h"
#include "platform/ziplib/lszip.h"

namespace {

using namespace vantrel::ziplib;

struct ZipSettings {
    std::string tempFolder;
    std::string list;
    std::string password;
    ZipProgressFn callback = nullptr;
};

thread_local ZipSettings t_settings;

int32_t Store(std::string& setting, const char* value) {
    if (!value) {
        return 0;
    }
    setting = value;
    return 1;
}

int32_t Execute(const char* archive, int32_t action, int32_t level, int32_t flags) {
    if (!archive) {
        return status::kBadArchiveName;
    }
    if (level < 0 || level > 9 || action < kActionDelete || action > kActionRepair) {
        return status::kInternal;
    }
    auto path = vantrel::platform::MapWindowsPath(archive);
    if (!path || path->filename().empty()) {
        return status::kBadArchiveName;
    }
    ArchiveFolderLock oneChangeAtATime(path->parent_path());
    ProgressTicker ticker(t_settings.callback);
    if (action == kActionRepair) {
        return RepairArchive(*path, (flags & kFlagHarderRepair) != 0, ticker);
    }
    ZipJob job{*path, action, level, flags, t_settings.list, t_settings.password};
    return action == kActionDelete ? DeleteEntries(job, ticker) : AddFiles(job, ticker);
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
    t_settings.callback = callback;
    return 1;
}

int32_t LSZIP_EXECUTE(char* archive, int32_t action, int32_t level, int32_t flags) {
    int32_t code;
    try {
        code = Execute(archive, action, level, flags);
    } catch (const std::bad_alloc&) {
        code = status::kOutOfMemory;
    } catch (...) {
        code = status::kInternal;
    }
    t_settings.password.clear();
    return code;
}

}  // extern "C"
