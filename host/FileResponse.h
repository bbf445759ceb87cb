#pragma once
// A file as the answer to a GET or HEAD request, read from its open descriptor in pieces as the
// client takes them, so that the host's memory stays the same whatever the file's size.
// Last-Modified is sent and If-Modified-Since answered with 304 Not Modified. One byte range
// (Range: bytes=...) is answered with 206 and its bytes, one that lies wholly beyond the end with
// 416; several ranges, or a range whose If-Range names another version, get the whole file.

#include <httplib.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/UniqueFd.h"

namespace vantrel::host {

// Answers with the regular file open at file (type: its Content-Type); gives back the bytes the
// answer's body holds, for the access log. done, when given, hears once the answer has gone out,
// whether its body went whole.
uint64_t RespondWithFile(platform::UniqueFd file, const httplib::Request& request,
                         httplib::Response& response, const std::string& type,
                         std::function<void(bool whole)> done = {});

// "Sun, 06 Nov 1994 08:49:37 GMT", and back (nullopt for anything else).
std::string HttpDate(time_t time);
std::optional<time_t> ParseHttpDate(std::string_view text);

}  // namespace vantrel::host
