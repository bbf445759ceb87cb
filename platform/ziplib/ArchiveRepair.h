#pragma once
// Repair of a damaged archive. The first attempt follows the local headers from the start of the
// file, as a central directory would have listed them; the harder one scans the whole file for
// local headers and keeps every entry whose data checks out. Either writes a new archive with a
// fresh central directory beside the old one and puts it in the old one's place; the damaged
// original is kept, renamed, unless the new archive holds everything it held.

#include <cstdint>
#include <filesystem>

#include "platform/ziplib/ProgressTicker.h"

namespace vantrel::ziplib {

// Returns a status code; 0 also when the archive needed no repair (it is then left untouched).
int32_t RepairArchive(const std::filesystem::path& archive, bool harder, ProgressTicker& ticker);

// Where the damaged original of archive is kept: "<archive>.damaged", numbered when taken.
std::filesystem::path DamagedCopyName(const std::filesystem::path& archive);

}  // namespace vantrel::ziplib
