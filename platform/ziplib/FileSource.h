#pragma once
// A source file handed to libzip, opened only when libzip reads it (libzip writes entries one after
// the other, so one source file is open at a time) and only where the list found it.

#include <zip.h>

#include <cstdint>

#include "platform/ziplib/SourceList.h"

namespace vantrel::ziplib {

// What the sources of one archive share: the opener, the first file that could not be read, and
// the bytes read.
struct SourceReading {
    SourceOpener opener;
    const SourceFile* failed = nullptr;
    uint64_t bytesRead = 0;
};

// A libzip source for file; null with the archive's error set when libzip refuses it.
zip_source_t* NewFileSource(zip_t* za, const SourceFile& file, SourceReading& reading);

}  // namespace vantrel::ziplib
