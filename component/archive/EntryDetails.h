#pragma once
// The details of an archive entry as the contents page shows them in its tool tip: lines separated
// by "|" naming the entry, its comment, last change, attributes, sizes, ratio, method and options.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ziplib/lszip.h"

namespace vantrel {

// Appends the details of the entry name to out, with its true sizes (which the record's 32-bit
// fields may not hold). The date and time fields are the MS-DOS ones, taken apart by whole
// divisions (the fields are never negative).
void AppendEntryDetails(std::string& out, std::string_view name, const ZipEntryRecord& record,
                        uint64_t size, uint64_t compressedSize);

// "Read-Only, Hidden": the attribute bits' names, joined by ", ".
std::string AttributeText(int32_t attributes);
// "Deflated", "Shrunk", ...; "Unknown" for a method without a name.
std::string_view MethodText(int16_t method);
// "Encrypted, Maximum compression rate": the entry's flag bits.
std::string OptionText(int16_t option);
// value times two to the count (a negative count divides, truncating toward zero); throws
// std::overflow_error when the result leaves the 32-bit range.
int32_t ShiftBits(int32_t value, int16_t count);

}  // namespace vantrel
