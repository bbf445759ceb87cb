#pragma once
// Whether every entry of an archive owns its bytes. Entries that share or nest their data (the
// overlap bombs: many directory entries on one local header, or each local header quoted inside
// the previous entry's deflate data) make a small archive inflate to a huge one; an entry that
// reaches into the central directory reads the directory as its data. Listing, test and
// extraction refuse such archives before libzip reads an entry, from the headers alone.
//
// An entry's span runs from its local header over the name and extra field whose lengths the
// local header gives, its compressed data (of the size the central directory gives, the one
// libzip reads by) and, when the local header's flags announce one, its data descriptor. Offsets
// are the file offsets the central directory states, as libzip reads them: a self-extracting
// archive must have them adjusted to its stub, and one whose directory does not lie where its end
// record says is unreadable here as it is to libzip.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ziplib/ArchiveReader.h"

namespace vantrel::ziplib {

enum class SpanFault {
    None,
    Unreadable,     // no end record, or a central directory that cannot be read as stated
    Ambiguous,      // two end records lead to different entries: which ones are read is unclear
    BrokenHeader,   // an entry's local header is missing or does not fit in the file
    IntoDirectory,  // an entry's span reaches the central directory, the end records or beyond
    Overlap,        // an entry's span overlaps another entry's
};

struct SpanCheck {
    SpanFault fault = SpanFault::None;
    uint64_t entries = 0;  // the entries the central directory holds
    // The offending entry with the lowest index in the central directory, and its name there.
    // Of two overlapping entries the one that starts later in the file (at the same offset, the
    // later one in the directory) is the offender; the other is given as otherIndex/otherName.
    uint64_t index = 0;
    std::string name;
    uint64_t otherIndex = 0;
    std::string otherName;
    // Without a fault: where each entry's data starts, by its index in the central directory.
    std::vector<uint64_t> dataOffsets;
};

// Reads the end records, the central directory and every local header (one pass over each, in
// file order, so that 100,000 entries take a few milliseconds). Never throws; a read error counts
// as an unreadable archive.
SpanCheck CheckEntrySpans(const ArchiveReader& archive);

}  // namespace vantrel::ziplib
