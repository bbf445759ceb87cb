#pragma once
// libzip's read-only view of an archive whose entries the span check passed: exactly the archive
// the check read, so that libzip cannot read another directory than the one checked. The data in
// front of the archive (a self-extracting stub) is left out, so that the offsets the directory
// states hold; the end records are written afresh from the directory found (the full count of
// entries, no locator that leads nowhere); and a directory record whose size or offset reads
// 0xFFFFFFFF without a zip64 field, which libzip refuses, carries one with that value. Reading goes
// through a descriptor of its own, never back to the archive's name.

#include <zip.h>

#include <cstdint>

#include "platform/ziplib/EntrySpanCheck.h"

namespace vantrel::ziplib {

// Opens libzip's view of the archive at fd (which stays the caller's) into za, with zip_open's
// read-only flags; a status code. An archive libzip cannot read at all gets libzip's own status,
// one that fails the span check otherwise -51.
int32_t OpenCheckedZip(int fd, const SpanCheck& check, int flags, zip_t*& za);

}  // namespace vantrel::ziplib
