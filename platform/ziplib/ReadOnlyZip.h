#pragma once
// libzip's read-only view of an archive already open at a descriptor, so that reading never goes
// back to the archive's name.

#include "platform/ziplib/OwnedZip.h"

namespace vantrel::ziplib {

// The archive at fd (which stays the caller's: libzip gets its own duplicate); flags as zip_open's
// read-only ones (ZIP_CHECKCONS). Null with *zipError set when libzip cannot read it.
OwnedZip OpenReadOnlyZip(int fd, int flags, int* zipError);

}  // namespace vantrel::ziplib
