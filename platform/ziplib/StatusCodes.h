#pragma once
// The status codes the library returns. The component turns them into text; only 0 is success.

#include <cstdint>

namespace vantrel::ziplib::status {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kNameNotMatched = -1;  // a named file or entry does not exist
inline constexpr int32_t kFormat = -2;          // not a zip archive
inline constexpr int32_t kArchiveError = -3;    // damaged entry data, unreadable archive
inline constexpr int32_t kOutOfMemory = -4;
inline constexpr int32_t kOpenFile = -9;   // an archive or source file cannot be opened
inline constexpr int32_t kInternal = -11;  // calls in a wrong order, a wrong argument
inline constexpr int32_t kCrc = -15;
inline constexpr int32_t kAborted = -30;  // the progress callback asked to stop
inline constexpr int32_t kDiskFull = -50;
inline constexpr int32_t kStructure = -51;        // inconsistent archive structure
inline constexpr int32_t kBadPassword = -61;      // wrong or missing password
inline constexpr int32_t kBadArchiveName = -151;  // the archive path is outside every drive
inline constexpr int32_t kBadFileSpec = -152;     // a path or entry name that may not be used
inline constexpr int32_t kMultiVolume = -157;
inline constexpr int32_t kRepeatedName = -162;  // two sources would get the same entry name
inline constexpr int32_t kListError = -163;     // a list that cannot be read
inline constexpr int32_t kEmptyArchive = -164;
inline constexpr int32_t kNothingToAdd = -167;
inline constexpr int32_t kNothingToDelete = -168;
inline constexpr int32_t kCreateFile = -169;  // a file or folder cannot be created
inline constexpr int32_t kTempFile = -175;
inline constexpr int32_t kZipping = -178;         // writing the new archive failed
inline constexpr int32_t kCopying = -179;         // moving: a source file could not be deleted
inline constexpr int32_t kReplaceArchive = -189;  // the new archive cannot replace the old one

}  // namespace vantrel::ziplib::status
