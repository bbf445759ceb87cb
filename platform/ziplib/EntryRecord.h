#pragma once
// Fills the 425-byte entry record of the listing from libzip's view of an entry and the raw
// central directory fields that libzip does not offer.

#include <cstdint>
#include <string>

#include <zip.h>

#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

// What the record cannot hold: the full name and the 64-bit sizes.
struct EntryInfo {
    std::string name;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
};

// raw may be null when the central directory could not be read directly; nameWithNul is the
// stored name of an entry whose name holds a NUL byte (else null), given with U+FFFD for it. The
// time is the extended one where the entry has it (see EntryTimes), in DOS words of the server's
// local time. Returns a status code.
int32_t FillEntryRecord(zip_t* za, zip_uint64_t index, const raw::CentralFields* raw,
                        const std::string* nameWithNul, ZipEntryRecord& record, EntryInfo& info);

// text cut to at most limit bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t limit);

// The MS-DOS attribute byte of an entry: stored as such, or derived from Unix permissions.
uint16_t DosAttributes(uint8_t system, uint32_t external, bool folder);

}  // namespace vantrel::ziplib
