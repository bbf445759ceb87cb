#pragma once
// What a request's head must look like before the web server library reads it. Requests whose
// framing two servers could read differently (a proxy in front and this host) are refused, so no
// request can be smuggled inside another: both Content-Length and Transfer-Encoding, header lines
// folded onto the next line, bare line feeds, several differing lengths.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::host {

inline constexpr size_t kMaxRequestLine = 8192;
inline constexpr size_t kMaxRequestHead = 32 * 1024;
// The largest form the pages post; the nginx site of the deployment guide says the same
// (client_max_body_size 8m).
inline constexpr size_t kMaxFormBytes = 8 * 1024 * 1024;

struct HeadVerdict {
    int status = 0;  // 0: acceptable; else the status to answer with
    std::string_view reason;
};

// head: the request line, the header lines and the empty line that ends them (CRLF CRLF).
HeadVerdict CheckRequestHead(std::string_view head);

// A head still being read: 414 once its request line is too long, 431 once the whole is, 400 for
// a blank line made of a bare line feed; else 0 (read on).
HeadVerdict CheckUnfinishedHead(std::string_view head);

// What an accepted head says about the request and its body.
struct RequestShape {
    std::string method;
    std::string path;                // the target's path, percent-decoded once, as routes see it
    std::optional<uint64_t> length;  // Content-Length (UINT64_MAX when past counting)
    bool chunked = false;
    bool expectsContinue = false;  // Expect: 100-continue
    std::string cookie;            // the Cookie header
};

// head: accepted by CheckRequestHead.
RequestShape ShapeOf(std::string_view head);

// The request's Range header reaches the routes under this name: the web server library would
// apply a Range to every response itself, several ranges included, so only the host's own file
// responses read it.
inline constexpr const char* kRangeHeader = "Vantrel-Range";

// The head as the web server library is given it, once the host has read the body itself:
// without Accept-Encoding (the host never compresses a response: a compressor holds small writes
// back until the page ends, and a page's progress dots must reach the browser as they are
// written), without the body's own framing (Content-Length, Transfer-Encoding, Expect), with Range
// renamed to kRangeHeader, and with "Content-Length: bodyLength" when the request has a body.
std::string HandedOnHead(std::string_view head, std::optional<size_t> bodyLength);

// A short text for an error status that a person can read ("Request too large ...").
std::string ErrorText(int status, std::string_view reason = {});

// The reason phrase of the statuses the host answers with.
std::string_view StatusPhrase(int status);

}  // namespace vantrel::host
