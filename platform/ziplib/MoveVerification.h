#pragma once
// Before a move deletes its originals, the new archive is read back: each file goes only when its
// entry is there, decompresses whole with a matching checksum, and the file has not changed since
// it was zipped.

#include <string>
#include <vector>

#include "platform/ziplib/SourceList.h"

namespace vantrel::ziplib {

// One answer per file of written, in order: true when that file may be deleted. archive is the
// new archive, open for reading.
std::vector<bool> ConfirmWrittenEntries(int archive, const std::vector<const SourceFile*>& written,
                                        const std::string& password, SourceOpener& opener);

// Deletes the file where the list found it, if it still is that file; false when it stays.
bool DeleteSourceFile(const SourceFile& file, SourceOpener& opener);

}  // namespace vantrel::ziplib
