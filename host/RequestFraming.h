#pragma once
// What a request's head must look like before the web server library reads it. Requests whose
// framing two servers could read differently (a proxy in front and this host) are refused, so no
// request can be smuggled inside another: both Content-Length and Transfer-Encoding, header lines
// folded onto the next line, bare line feeds, several differing lengths.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::host {

inline constexpr size_t kMaxRequestLine = 8192;
inline constexpr size_t kMaxRequestHead = 32 * 1024;

struct HeadVerdict {
    int status = 0;  // 0: acceptable; else the status to answer with
    std::string_view reason;
};

// head: the request line, the header lines and the empty line that ends them (CRLF CRLF).
HeadVerdict CheckRequestHead(std::string_view head);

// A head still being read: 414 once its request line is too long, 431 once the whole is, 400 for
// a blank line made of a bare line feed; else 0 (read on).
HeadVerdict CheckUnfinishedHead(std::string_view head);

// The head without its Accept-Encoding lines. The host never compresses a response: a compressor
// holds small writes back until the page ends, and a page's progress dots must reach the browser
// as they are written.
std::string WithoutAcceptEncoding(std::string_view head);

// A short text for an error status that a person can read ("Request too large ...").
std::string ErrorText(int status, std::string_view reason = {});

// The reason phrase of the statuses the host answers with.
std::string_view StatusPhrase(int status);

}  // namespace vantrel::host
