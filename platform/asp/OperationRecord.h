#pragma once
// What one archive operation did, as the result page hands it to the host for its audit trail.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::asp {

enum class OperationOutcome { Succeeded, Failed, Refused };

struct OperationRecord {
    char letter = '\0';  // the option string's first character; '\0' when it was empty
    std::string archive;
    std::string target;                // the folder extracted into; empty for zip operations
    std::vector<std::string> entries;  // the files or entry names asked for, as given
    // The zip library's status code; nullopt when the operation stopped before the library ran
    // (disabled, refused by the path policy, busy queue, parameter error).
    std::optional<int32_t> status;
    std::string text;  // the outcome as the page reported it, without markup
    OperationOutcome outcome = OperationOutcome::Failed;
    // Bytes the execute call read and wrote. The zip library does not count them yet: until it
    // does they stay 0.
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
};

}  // namespace vantrel::asp
