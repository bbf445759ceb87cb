#pragma once
// What libzip is shown of an archive whose entries the span check passed: exactly the archive the
// check read, so that libzip cannot read another directory than the one checked. The data in
// front of the archive (a self-extracting stub) is left out, so that the offsets the directory
// states hold; the end records are written afresh from the directory found (the full count of
// entries, no locator that leads nowhere); and a directory record whose size or offset reads
// 0xFFFFFFFF without a zip64 field, which libzip refuses, carries one with that value. Reading goes
// through a descriptor of its own, never back to the archive's name. Listing, test and extraction
// read through it; so does the zip side, which rewrites the archive from it.

#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/UniqueFd.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/OwnedZip.h"

namespace vantrel::ziplib {

// The bytes of that view, for a libzip source of one's own (the zip side's, which also writes).
class CheckedView {
  public:
    // The view of the archive at fd (which stays the caller's); null when the archive cannot be
    // read as it was checked (errno tells why).
    static std::unique_ptr<CheckedView> Of(int fd, const SpanCheck& check);

    uint64_t Size() const { return size_; }
    // Reads up to length bytes at offset into out, fewer only at the view's end; how many, or -1
    // when the file no longer holds them (it shrank since the check; errno tells why, or is 0).
    int64_t Read(uint64_t offset, void* out, uint64_t length);

    // One stretch of the view: bytes of the file from fileOffset, or the text held.
    struct Piece {
        uint64_t length = 0;
        uint64_t fileOffset = 0;
        std::string text;
        bool inFile = true;
    };

  private:
    CheckedView(platform::UniqueFd fd, std::vector<Piece> pieces);
    bool ReadFile(uint64_t offset, uint8_t* out, size_t length);

    platform::UniqueFd fd_;
    std::vector<Piece> pieces_;
    uint64_t size_ = 0;
    std::vector<uint8_t> window_;
    uint64_t windowStart_ = 0;
};

// Opens libzip's view of the archive at fd (which stays the caller's) into za, with zip_open's
// read-only flags; a status code. An archive libzip cannot read at all gets libzip's own status,
// one that fails the span check otherwise -51.
int32_t OpenCheckedZip(int fd, const SpanCheck& check, int flags, OwnedZip& za);

}  // namespace vantrel::ziplib
