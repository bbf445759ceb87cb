#pragma once
// The zip side's changes to an archive: add, update, freshen and delete. libzip writes the new
// archive to a temporary file beside the old one (see ArchiveFile), which takes the old one's
// place only when it is complete, so a failure leaves the archive as it was.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "platform/ziplib/ArchiveFile.h"
#include "platform/ziplib/CallerHooks.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

struct ZipJob {
    int32_t action = LSZIP_ADD;
    int32_t level = 5;
    int32_t flags = 0;
    std::string list;      // source files (add, update, freshen) or entry names (delete)
    std::string password;  // for encrypt
    std::optional<std::string> archiveComment;  // replaces the archive's comment
    std::optional<std::string> fileComment;     // of every entry added or replaced
    std::time_t newerThan = 0;                  // when set, older files are left alone
};

// Actions 2, 3 and 4; returns a status code.
int32_t AddFiles(const ZipJob& job, ArchiveFile& archive, CallerHooks& caller);
// Action 1; returns a status code. An archive left without entries is removed, as libzip does
// (data in front of it stays: see ArchiveFile).
int32_t DeleteEntries(const ZipJob& job, ArchiveFile& archive, CallerHooks& caller);

}  // namespace vantrel::ziplib
