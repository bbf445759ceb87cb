#pragma once
// The unzip side's work on the entries of an archive: extraction into a target folder and the
// test that decompresses every entry and checks its CRC.

#include <cstdint>
#include <string>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/CallerHooks.h"
#include "platform/ziplib/TargetFolder.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

struct UnzipJob {
    const platform::ConfinedPath& archive;  // open for reading
    std::string names;                      // entry-name list; empty means every entry
    std::string password;
    int32_t flags = 0;
};

// Extracts the listed entries into target. Entries it must refuse (unsafe names, symbolic links,
// an entry that would replace an archive being read, places the caller's check refuses) and
// entries it cannot finish are left out, each reported to the caller by name, and the others
// are still extracted. Returns a status code.
int32_t ExtractEntries(const UnzipJob& job, TargetFolder& target, CallerHooks& caller);

// Tests the listed entries; every entry extraction would refuse is reported as such. Encrypted
// entries without a password are checked for structure only, and the result says so (-61) when
// nothing worse was found.
int32_t TestEntries(const UnzipJob& job, CallerHooks& caller);

// Whether the test finds anything damaged in the archive, reporting nothing: 0 when it opens and
// every entry it can check reads whole (or it holds none), else the first damage found (or -30).
// Entries it cannot check (encrypted ones without the password, methods this library does not
// read) and names extraction refuses are no damage: what the repair leaves alone.
int32_t FindDamage(const UnzipJob& job, CallerHooks& quiet);

}  // namespace vantrel::ziplib
