#pragma once
// Walking an archive's entries through the unzip side's listing, for the contents page and for the
// policy test of a delete. The unzip side is reset before and after, however the walk ends.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "component/archive/LibraryCalls.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

// What the listing gives for one entry: the record, and what the record cannot hold (empty when the
// library cannot tell).
using ListedEntryFn =
    std::function<void(const ZipEntryRecord& record, const std::optional<FullEntry>& full)>;

// Hands every entry of archive to take, in the library's order, as the listing reads them (nothing
// is gathered here). The archive is read only where the calling thread's operation hooks allow
// (ScopedOperationHooks); without hooks nothing is. The number of entries; nullopt, with the
// failure as an error fragment
// ("<B>Error:</B> ...") in error, when the archive cannot be listed or an entry cannot be read;
// the entries before the failure have been handed over. Throws what the library binding throws.
std::optional<int32_t> ForEachListedEntry(const std::string& archive, const ListedEntryFn& take,
                                          std::string& error);

// The entry's whole name: the full name when the library gives it, else the record's.
std::string ListedEntryName(const ZipEntryRecord& record, const std::optional<FullEntry>& full);

}  // namespace vantrel
