#pragma once
// The access log: one line a request in the Common Log Format, with the signed-in account in the
// user field:  client - account [10/Oct/2024:13:55:36 +0200] "GET /farbale.asp HTTP/1.1" 200 2326

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::host {

struct AccessEntry {
    std::string client;
    std::string account;  // empty: "-"
    std::chrono::system_clock::time_point time;
    std::string request;  // the request line: "GET /farbale.asp HTTP/1.1"
    int status = 0;
    std::optional<uint64_t> bytes;  // of the body; unknown: "-"
};

// Quotes, backslashes, blanks in the account and bytes outside printable ASCII are written as
// escapes (\", \\, \xhh), so a request can never forge a line of its own.
std::string CommonLogLine(const AccessEntry& entry);

}  // namespace vantrel::host
