#include "host/RequestReader.h"

#include <algorithm>
#include <charconv>

namespace vantrel::host {

namespace {

constexpr size_t kReadPiece = 16 * 1024;
constexpr size_t kMaxChunkLine = 1024;
// A body may take a few seconds and then as long as it needs at a slow line's pace (a 64 kbit/s
// mobile link), never longer; a client without a session may send only a few KB.
constexpr auto kBodyGrace = std::chrono::seconds(5);
constexpr size_t kBodyBytesPerSecond = 8 * 1024;

constexpr HeadVerdict kBodyNotTaken{400, "a body with a request that takes none"};
constexpr HeadVerdict kBadChunk{400, "a malformed chunk"};
constexpr HeadVerdict kLengthNeeded{411, "an upload must give its Content-Length"};

Deadline BodyDeadline(size_t bytes) {
    return std::chrono::steady_clock::now() + kBodyGrace +
           std::chrono::seconds(bytes / kBodyBytesPerSecond);
}

HeadVerdict TooLarge(const BodyLimit& limit) {
    return {413, limit.refusal};
}

}  // namespace

bool RequestReader::Fill(Deadline deadline) {
    char buffer[kReadPiece];
    ssize_t n = connection_.Receive(buffer, sizeof buffer, deadline);
    if (n <= 0) {
        return false;
    }
    bytes_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool RequestReader::ReadHead(Deadline deadline, size_t& headEnd, HeadVerdict& verdict) {
    bytes_.erase(0, offset_);
    offset_ = requestEnd_ = 0;
    for (;;) {
        // Empty lines before a request line are ignored, as some clients send one after a body.
        while (bytes_.starts_with("\r\n")) {
            bytes_.erase(0, 2);
        }
        if (size_t end = bytes_.find("\r\n\r\n"); end != std::string::npos) {
            headEnd = end + 4;
            verdict = CheckRequestHead(std::string_view(bytes_).substr(0, headEnd));
            return verdict.status == 0;
        }
        verdict = CheckUnfinishedHead(bytes_);
        if (verdict.status || !Fill(deadline)) {
            return false;
        }
    }
}

bool RequestReader::ReadLine(size_t start, size_t most, Deadline deadline, size_t& lineEnd) {
    for (;;) {
        lineEnd = bytes_.find("\r\n", start);
        if (lineEnd != std::string::npos) {
            return lineEnd - start <= most;
        }
        if (bytes_.size() - start > most || !Fill(deadline)) {
            return false;
        }
    }
}

bool RequestReader::ReadChunks(size_t start, const BodyLimit& limit, Deadline deadline,
                               std::string& body, size_t& bodyEnd, HeadVerdict& verdict) {
    size_t at = start;
    for (;;) {
        size_t lineEnd;
        if (!ReadLine(at, kMaxChunkLine, deadline, lineEnd)) {
            verdict = bytes_.size() - at > kMaxChunkLine ? kBadChunk : HeadVerdict{};
            return false;
        }
        std::string_view line = std::string_view(bytes_).substr(at, lineEnd - at);
        line = line.substr(0, line.find(';'));
        uint64_t size = 0;
        auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
        if (error != std::errc() || end != line.data() + line.size()) {
            verdict = error == std::errc::result_out_of_range ? TooLarge(limit) : kBadChunk;
            return false;
        }
        at = lineEnd + 2;
        if (size == 0) {
            break;
        }
        if (size > limit.bytes - body.size()) {
            verdict = TooLarge(limit);
            return false;
        }
        while (bytes_.size() < at + size + 2) {
            if (!Fill(deadline)) {
                return false;
            }
        }
        if (bytes_.compare(at + size, 2, "\r\n") != 0) {
            verdict = kBadChunk;
            return false;
        }
        body.append(bytes_, at, size);
        at += size + 2;
    }
    // Trailer lines, which the host has no use for, up to the empty line that ends the body.
    for (size_t trailers = at;;) {
        size_t lineEnd;
        size_t room = kMaxRequestHead - std::min(kMaxRequestHead, at - trailers);
        if (!ReadLine(at, room, deadline, lineEnd)) {
            verdict = bytes_.size() - at > room ? kBadChunk : HeadVerdict{};
            return false;
        }
        bool last = lineEnd == at;
        at = lineEnd + 2;
        if (last) {
            break;
        }
    }
    bodyEnd = at;
    return true;
}

// A client that waits for leave to send its body gets it now; one that sent it already needs
// none. False when the client has gone.
bool RequestReader::LetBodyCome(const RequestShape& shape, size_t headEnd) {
    if (!shape.expectsContinue || bytes_.size() != headEnd) {
        return true;
    }
    constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    return connection_.Send(kContinue.data(), kContinue.size()) ==
           static_cast<ssize_t>(kContinue.size());
}

bool RequestReader::ReadBody(const RequestShape& shape, size_t headEnd, const BodyLimit& limit,
                             std::string& body, size_t& bodyEnd, HeadVerdict& verdict) {
    if (shape.length > limit.bytes) {
        verdict = TooLarge(limit);
        return false;
    }
    if (!LetBodyCome(shape, headEnd)) {
        return false;
    }
    if (shape.chunked) {
        return ReadChunks(headEnd, limit, BodyDeadline(limit.bytes), body, bodyEnd, verdict);
    }
    size_t length = static_cast<size_t>(shape.length.value_or(0));
    Deadline deadline = BodyDeadline(length);
    while (bytes_.size() < headEnd + length) {
        if (!Fill(deadline)) {
            return false;
        }
    }
    body = bytes_.substr(headEnd, length);
    bodyEnd = headEnd + length;
    return true;
}

bool RequestReader::StreamBody(const RequestShape& shape, size_t headEnd, const BodyLimit& limit,
                               HeadVerdict& verdict) {
    if (shape.chunked) {
        verdict = kLengthNeeded;
        return false;
    }
    uint64_t length = shape.length.value_or(0);
    if (length > limit.bytes) {
        verdict = TooLarge(limit);
        return false;
    }
    if (!LetBodyCome(shape, headEnd)) {
        return false;
    }
    std::string handedOn = HandedOnHead(std::string_view(bytes_).substr(0, headEnd), length);
    bytes_.replace(0, headEnd, handedOn);
    requestEnd_ = handedOn.size() + length;
    bodyDeadline_ = BodyDeadline(length);
    return true;
}

bool RequestReader::Read(Deadline headDeadline, const BodyLimits& limits, HeadVerdict& refusal) {
    refusal = {};
    size_t headEnd = 0;
    if (!ReadHead(headDeadline, headEnd, refusal)) {
        return false;
    }
    std::string_view head = std::string_view(bytes_).substr(0, headEnd);
    RequestShape shape = ShapeOf(head);
    bool hasBody = shape.chunked || shape.length.value_or(0) > 0;
    std::string handedOn;
    size_t end = headEnd;
    if (shape.method == "POST") {
        BodyLimit limit = limits(shape);
        if (limit.streamed) {
            return StreamBody(shape, headEnd, limit, refusal);
        }
        std::string body;
        if (!ReadBody(shape, headEnd, limit, body, end, refusal)) {
            return false;
        }
        handedOn = HandedOnHead(std::string_view(bytes_).substr(0, headEnd), body.size()) + body;
    } else if (hasBody) {
        refusal = kBodyNotTaken;
        return false;
    } else {
        handedOn = HandedOnHead(head, std::nullopt);
    }
    requestEnd_ = handedOn.size();
    bytes_.replace(0, end, handedOn);
    return true;
}

ssize_t RequestReader::Take(char* data, size_t size) {
    if (offset_ == bytes_.size() && offset_ < requestEnd_) {
        // A streamed body: what the library has taken goes, and the next piece is read.
        requestEnd_ -= offset_;
        bytes_.clear();
        offset_ = 0;
        if (!Fill(bodyDeadline_)) {
            return -1;
        }
    }
    size_t n =
        std::min({size, requestEnd_ - std::min(offset_, requestEnd_), bytes_.size() - offset_});
    std::copy_n(bytes_.data() + offset_, n, data);
    offset_ += n;
    return static_cast<ssize_t>(n);
}

bool RequestReader::EndRequest() {
    if (requestEnd_ > bytes_.size()) {
        offset_ = bytes_.size();
        return false;
    }
    offset_ = std::max(offset_, requestEnd_);
    return true;
}

std::string RequestReader::RequestLine() const {
    std::string_view rest = std::string_view(bytes_).substr(offset_);
    return std::string(rest.substr(0, std::min(rest.find('\r'), kMaxRequestLine)));
}

}  // namespace vantrel::host
