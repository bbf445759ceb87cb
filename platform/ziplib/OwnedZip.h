#pragma once
// libzip's archive in the hands of whoever opened it: discarded (closed without writing anything)
// when its owner lets go, on every path. An archive that zip_close wrote is libzip's no longer, so
// its owner releases it after a zip_close that succeeded.

#include <zip.h>

#include <memory>

namespace vantrel::ziplib {

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using OwnedZip = std::unique_ptr<zip_t, ZipDiscard>;

}  // namespace vantrel::ziplib
