#pragma once
// Reads the requests of one connection one at a time, before the web server library sees them:
// each head is checked (RequestFraming) and its body read whole, within the limit of what the
// request may carry. The library is handed the request with a known length, and the next request
// on the connection begins exactly where the host's reading of this one ended, whatever the
// library reads of it: a body is never taken for a request.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "host/Connection.h"
#include "host/RequestFraming.h"

namespace vantrel::host {

// The most a request may carry as its body, and what the refusal of more says after "Request too
// large: " (empty: the page forms' "the server takes at most 8 MB of form data"). A streamed body
// (an upload's) is handed on as it arrives instead of being read whole first; it must come with a
// Content-Length.
struct BodyLimit {
    size_t bytes = kMaxFormBytes;
    std::string_view refusal;
    bool streamed = false;
};
using BodyLimits = std::function<BodyLimit(const RequestShape&)>;

class RequestReader {
  public:
    explicit RequestReader(Connection& connection) : connection_(connection) {}

    // Whether bytes of a next request have arrived already.
    bool HasPending() const { return offset_ < bytes_.size(); }
    // Reads the next request: its head by headDeadline, then its body. True when it is ready to be
    // handed on; false when the client went away or was too slow (refusal.status stays 0), or when
    // the request is refused (refusal says with what). Only POST takes a body.
    bool Read(Deadline headDeadline, const BodyLimits& limits, HeadVerdict& refusal);
    // The library's reads: the request as handed on, and nothing beyond it (0 at its end).
    ssize_t Take(char* data, size_t size);
    bool HasMoreOfRequest() const { return offset_ < requestEnd_; }
    // Passes over whatever the library left unread of the request handed on; false when it
    // cannot, because part of a streamed body was neither read nor received: the connection
    // cannot carry another request then.
    bool EndRequest();
    // The request line as far as it was read, for the log of a refusal.
    std::string RequestLine() const;

  private:
    bool Fill(Deadline deadline);
    bool LetBodyCome(const RequestShape& shape, size_t headEnd);
    bool ReadHead(Deadline deadline, size_t& headEnd, HeadVerdict& verdict);
    bool ReadBody(const RequestShape& shape, size_t headEnd, const BodyLimit& limit,
                  std::string& body, size_t& bodyEnd, HeadVerdict& verdict);
    bool StreamBody(const RequestShape& shape, size_t headEnd, const BodyLimit& limit,
                    HeadVerdict& verdict);
    bool ReadChunks(size_t start, const BodyLimit& limit, Deadline deadline, std::string& body,
                    size_t& bodyEnd, HeadVerdict& verdict);
    bool ReadLine(size_t start, size_t most, Deadline deadline, size_t& lineEnd);

    Connection& connection_;
    std::string bytes_;
    size_t offset_ = 0;        // what the library has taken of bytes_
    size_t requestEnd_ = 0;    // where the request handed on ends in bytes_ (or will, streamed)
    Deadline bodyDeadline_{};  // of a streamed body
};

}  // namespace vantrel::host
