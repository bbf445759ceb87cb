#pragma once
// What the access log needs to know of the request the current thread serves beyond what the web
// server library tells: the client a trusted proxy named, the signed-in account, and the bytes of
// an answer that was streamed. The library calls its logger on the thread that served the
// request, once the response has been sent.

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::host {

struct RequestNotes {
    std::string client;  // as a trusted proxy tells it; empty: the connection's peer
    std::string account;
    std::optional<uint64_t> streamedBytes;
};

// The notes of the request the calling thread serves.
RequestNotes& ThisRequestNotes();

}  // namespace vantrel::host
