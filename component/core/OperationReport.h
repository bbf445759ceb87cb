#pragma once
// What the operation under way reports to the host's audit log: the zip library's last status and
// message, the bytes it read and wrote, and, for an operation that stopped before the library ran,
// the page's own words.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/asp/OperationRecord.h"

namespace vantrel {

struct OperationReport {
    // The last run of the library: its status code (when the execute call returned one) and the
    // message it gave; unset when the operation stopped before the library.
    std::optional<int32_t> status;
    std::optional<std::string> libraryMessage;
    // What the library read and wrote for the operation (both runs of a repair).
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    // While set, what the page writes is kept here (bounded), so that a refusal's own words reach
    // the record.
    std::optional<std::string> pageText;

    // Starts afresh for a new operation: nothing run, and the page's words kept from now on.
    void Begin();
    void Keep(std::string_view text);
    void AddBytes(int64_t read, int64_t written);
    // The record of the operation asked for, ending the report: succeeded when it did, failed when
    // the library ran (or could not be run) and said why, refused otherwise.
    asp::OperationRecord Finish(asp::OperationRecord asked, bool succeeded);
};

}  // namespace vantrel
