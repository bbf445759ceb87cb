#pragma once
// A source file handed to libzip as finished deflate data with its size and CRC, so that libzip
// copies it into the archive instead of compressing it itself (see ParallelDeflater). Encryption
// still works: libzip encrypts the deflate data as it copies it.

#include <zip.h>

#include "platform/ziplib/FileSource.h"
#include "platform/ziplib/ParallelDeflater.h"

namespace vantrel::ziplib {

// A libzip source for file, which deflater knows as number; null with the archive's error set
// when libzip refuses it. level sets the entry's compression-rate flags.
zip_source_t* NewDeflatedSource(zip_t* za, const SourceFile& file, SourceReading& reading,
                                ParallelDeflater& deflater, size_t number, int level);

}  // namespace vantrel::ziplib
