#pragma once
// Repair of a damaged archive. The first attempt follows the local headers from the start of the
// file, as a central directory would have listed them; the harder one scans the whole file for
// local headers and keeps every entry whose data checks out. Either writes a new archive with a
// fresh central directory beside the old one and puts it in the old one's place; the damaged
// original is kept, renamed, unless the new archive holds everything it held.

#include <cstdint>
#include <string>

#include "platform/ziplib/ArchiveFile.h"
#include "platform/ziplib/CallerHooks.h"

namespace vantrel::ziplib {

// What a repair that wrote a new archive did.
struct RepairOutcome {
    int32_t recovered = -1;  // entries the new archive holds; -1 when none was written
    int32_t counted = 0;     // entries the damaged archive held, as far as it tells (0: unknown)
    std::string keptAs;      // where the damaged original was kept (a Windows path); empty: not
};

// Returns a status code; 0 also when the archive needed no repair (it is then left untouched).
// Each entry the damaged archive names but the new one lacks is reported to caller as damaged
// (-3), and the call still succeeds. An archive that another process shortens while it is read
// fails the call (-51) and stays as it is.
int32_t RepairArchive(ArchiveFile& archive, bool harder, CallerHooks& caller,
                      RepairOutcome& outcome);

// The name under which the damaged original of archive is kept in its folder:
// "<archive>.damaged", numbered when taken.
std::string DamagedCopyName(int folder, const std::string& archive);

}  // namespace vantrel::ziplib
