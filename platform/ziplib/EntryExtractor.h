#pragma once
// The unzip side's work on the entries of an archive: extraction into a target folder and the
// test that decompresses every entry and checks its CRC.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/ziplib/ProgressTicker.h"

namespace vantrel::ziplib {

inline constexpr int32_t kUnzipActionList = 1;
inline constexpr int32_t kUnzipActionExtract = 3;
inline constexpr int32_t kUnzipActionTest = 4;

inline constexpr int32_t kUnzipFlagUpdate = 0x4;
inline constexpr int32_t kUnzipFlagFreshen = 0x8;
inline constexpr int32_t kUnzipFlagNoFolders = 0x30;

struct UnzipJob {
    std::filesystem::path archive;
    std::string names;  // entry-name list; empty means every entry
    std::filesystem::path target;
    std::string password;
    int32_t flags = 0;
};

// Extracts the listed entries; entries it must refuse (unsafe names, symbolic links) are skipped
// and reported by the status, the others are still extracted. Returns a status code.
int32_t ExtractEntries(const UnzipJob& job, ProgressTicker& ticker);

// Tests the listed entries. Encrypted entries without a password are checked for structure only,
// and the result says so (-61) when nothing worse was found.
int32_t TestEntries(const UnzipJob& job, ProgressTicker& ticker);

}  // namespace vantrel::ziplib
