#pragma once
// MS-DOS date and time words, the zip format's own clock: local time, seconds halved.

#include <cstdint>
#include <ctime>

namespace vantrel::ziplib {

struct DosDateTime {
    uint16_t date = 0;
    uint16_t time = 0;
};

DosDateTime ToDosDateTime(std::time_t when);
// The local time the two words name (out-of-range fields roll over, as the host's dates do).
std::time_t FromDosDateTime(DosDateTime dos);

// The zip format keeps only even seconds, so an entry written from a file carries the file's time
// rounded down: the file counts as newer only when it is newer than that rounding allows.
bool FileIsNewerThanEntry(std::time_t fileTime, std::time_t entryTime);

}  // namespace vantrel::ziplib
