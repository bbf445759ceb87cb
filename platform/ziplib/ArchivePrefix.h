#pragma once
// The data in front of an archive (a self-extracting stub) kept through a rewrite: the new archive
// is written behind a copy of it and then counts its offsets from the start of the file, as a
// self-extractor's offsets do, so that every zip program reads it without a warning.

#include <cstdint>
#include <optional>

namespace vantrel::ziplib {

// Copies the first length bytes of from to the start of to; false (errno set) when it cannot.
bool CopyPrefix(int from, int to, uint64_t length);

// Moves the offsets of the archive written at [prefix, prefix + size) of fd (in its directory's
// records and its end records) on by prefix. The file's new size, or nullopt (errno set where a
// system call failed) when the archive cannot be read back or its records cannot take the offsets.
std::optional<uint64_t> CountOffsetsFromFileStart(int fd, uint64_t prefix, uint64_t size);

}  // namespace vantrel::ziplib
