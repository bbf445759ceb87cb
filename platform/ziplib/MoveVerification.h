#pragma once
// Before a move deletes its originals, the archive in place is read back: each file goes only when
// its entry is there, decompresses whole with a matching checksum, and the file has not changed
// since it was zipped.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ziplib/SourceList.h"

namespace vantrel::ziplib {

// One answer per file of written, in order: true when that file may be deleted.
std::vector<bool> ConfirmWrittenEntries(const std::filesystem::path& archive,
                                        const std::vector<const SourceFile*>& written,
                                        const std::string& password);

}  // namespace vantrel::ziplib
