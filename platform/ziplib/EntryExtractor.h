#pragma once
// The unzip side's work on the entries of an archive: extraction into a target folder and the
// test that decompresses every entry and checks its CRC.

#include <cstdint>
#include <functional>
#include <memory>
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

// One entry read on its own, for a download. Found by its exact name ("\" read as "/"), else the
// one entry whose name differs from it in letter case alone; what can be known before its data is
// read is checked when it is opened, and its data is then handed on as extraction reads it.
class EntryReader {
  public:
    using Consumer = std::function<bool(const char*, size_t)>;

    // Opens the entry name of the archive; a status code: -1 when no file entry has that name,
    // -152 for a name holding a NUL byte, -16 for a method this library cannot read, -51 for
    // entries that share their bytes, -61 for an encrypted entry without its password (or with
    // a wrong one, where the encryption can tell before the data is read).
    static int32_t Open(platform::ConfinedPath archive, const std::string& name,
                        const std::string& password, std::unique_ptr<EntryReader>& reader);
    ~EntryReader();

    uint64_t Size() const;
    // Hands the entry's data to consume in pieces, never a byte past its declared size, and its
    // last byte only once the whole entry has checked out (its size and CRC): a damaged entry
    // never reaches consume whole. A status code; -30 when consume stopped the reading.
    int32_t Read(const Consumer& consume);

  private:
    struct State;
    explicit EntryReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace vantrel::ziplib
