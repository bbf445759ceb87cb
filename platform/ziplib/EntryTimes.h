#pragma once
// The times an entry may carry beside its MS-DOS words: the extended timestamp (extra field 0x5455,
// Unix seconds) and the NTFS times (0x000a, 100-nanosecond steps since 1601). The DOS words hold
// the creator's wall-clock time in a zone the archive does not name; these two name one moment in
// UTC, so they win wherever an entry has them. Archives this library writes carry the extended
// timestamp, which every common zip program reads.

#include <zip.h>

#include <ctime>
#include <optional>

namespace vantrel::ziplib {

// The entry's modification time from the extra fields of its central directory record: the
// extended timestamp's, else the NTFS one; nullopt when it has neither.
std::optional<std::time_t> ExtendedModifiedTime(zip_t* za, zip_uint64_t index);

// The entry's modification time: the extended one where it has it, else its DOS words read as
// the server's local time (as libzip gives them).
std::time_t EntryModifiedTime(zip_t* za, zip_uint64_t index, const zip_stat_t& stat);

// Gives the entry an extended timestamp of modified in place of the time fields it had (none when
// modified does not fit the field's 32 bits). False with the archive's error set when libzip
// refuses.
bool SetExtendedModifiedTime(zip_t* za, zip_uint64_t index, std::time_t modified);

}  // namespace vantrel::ziplib
