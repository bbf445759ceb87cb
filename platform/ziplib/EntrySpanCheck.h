#pragma once
// Whether every entry of an archive owns its bytes. Entries that share or nest their data (the
// overlap bombs: many directory entries on one local header, or each local header quoted inside
// the previous entry's deflate data) make a small archive inflate to a huge one; an entry that
// reaches into the central directory reads the directory as its data. Listing, test and
// extraction refuse such archives before libzip reads an entry, from the headers alone, and then
// let libzip read exactly the directory checked here (see CheckedZip).
//
// The directory is found as the common zip programs find it: its end record counts entries only
// modulo 65,536 (a directory with room for more records holds them); a zip64 locator counts only
// when it leads to a zip64 end record (bytes that merely look like one, in the last entry's
// comment, do not); and when data was put in front of the archive after it was written (a
// self-extracting stub), the directory ends right before its end records and every offset it
// states is shifted by the length of that data.
//
// An entry's span runs from its local header over the name and extra field whose lengths the
// local header gives, its compressed data (of the size the central directory gives, the one
// libzip reads by) and, when the local header's flags announce one, its data descriptor.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/RawZipFormat.h"

namespace vantrel::ziplib {

enum class SpanFault {
    None,
    Unreadable,     // no end record, or a central directory that cannot be read as stated
    Ambiguous,      // two end records lead to different entries: which ones are read is unclear
    BrokenHeader,   // an entry's local header is missing or does not fit in the file
    IntoDirectory,  // an entry's span reaches the central directory, the end records or beyond
    Overlap,        // an entry's span overlaps another entry's
};

// Where the archive lies in its file, all offsets from the start of the file.
struct ArchiveLayout {
    uint64_t start = 0;  // the length of the data in front of the archive
    // The first local header (the directory when there is none). What lies in front of it belongs
    // to no entry: a self-extracting stub, whether or not the offsets count it.
    uint64_t firstEntry = 0;
    uint64_t directoryStart = 0;
    uint64_t directorySize = 0;
    uint64_t commentStart = 0;  // the archive comment, behind the end record
    uint64_t commentSize = 0;
    // Directory records (by index) with a size or offset field of 0xFFFFFFFF that is the real
    // value: no zip64 field says otherwise. libzip refuses them; CheckedZip shows it zip64 ones.
    std::vector<uint64_t> literalMaxima;
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
    // Without a fault: where the archive lies, where each entry's data starts in the file and the
    // raw fields of its directory record, by its index in the central directory; and the names,
    // as stored, of the entries whose names hold a NUL byte (libzip shows it as a blank).
    ArchiveLayout layout;
    std::vector<uint64_t> dataOffsets;
    std::vector<raw::CentralFields> fields;
    std::map<uint64_t, std::string> namesWithNul;
};

// Reads the end records, the central directory and every local header (one pass over each, in
// file order, so that 100,000 entries take a few milliseconds). Never throws; a read error counts
// as an unreadable archive.
SpanCheck CheckEntrySpans(const ArchiveReader& archive);

}  // namespace vantrel::ziplib
