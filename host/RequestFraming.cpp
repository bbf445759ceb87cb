#include "host/RequestFraming.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/text/CaseFolding.h"
#include "platform/text/TextPieces.h"

namespace vantrel::host {

namespace {

constexpr HeadVerdict kFine{};

bool IsToken(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (unsigned char c : name) {
        if (c <= ' ' || c >= 0x7f ||
            std::string_view("\"(),/:;<=>?@[\\]{}").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Checks one header line and keeps what the framing depends on.
HeadVerdict CheckHeaderLine(std::string_view line, std::optional<std::string>& length,
                            int& transferEncodings, bool& chunked) {
    if (line.front() == ' ' || line.front() == '\t') {
        return {400, "obsolete line folding"};
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
        return {400, "a header line without a valid name"};
    }
    std::string_view name = line.substr(0, colon);
    std::string_view value = platform::TrimBlanksAndTabs(line.substr(colon + 1));
    if (platform::EqualsIgnoringCase(name, "Content-Length")) {
        if (!AllDigits(value) || (length && *length != value)) {
            return {400, "an invalid or repeated Content-Length"};
        }
        length = std::string(value);
    } else if (platform::EqualsIgnoringCase(name, "Transfer-Encoding")) {
        ++transferEncodings;
        chunked = platform::EqualsIgnoringCase(value, "chunked");
    }
    return kFine;
}

}  // namespace

HeadVerdict CheckRequestHead(std::string_view head) {
    if (head.find('\0') != std::string_view::npos) {
        return {400, "a NUL byte in the request head"};
    }
    std::optional<std::string> length;
    int transferEncodings = 0;
    bool chunked = false;
    size_t start = 0;
    for (bool requestLine = true;; requestLine = false) {
        size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos) {
            return {400, "a request head that does not end in an empty line"};
        }
        std::string_view line = head.substr(start, end - start);
        start = end + 2;
        if (line.find_first_of("\r\n") != std::string_view::npos) {
            return {400, "a bare carriage return or line feed"};
        }
        if (requestLine) {
            if (line.size() > kMaxRequestLine) {
                return {414, ""};
            }
            if (line.empty()) {
                return {400, "an empty request line"};
            }
            continue;
        }
        if (line.empty()) {
            break;
        }
        HeadVerdict verdict = CheckHeaderLine(line, length, transferEncodings, chunked);
        if (verdict.status) {
            return verdict;
        }
    }
    if (transferEncodings > 0 && length) {
        return {400, "both Content-Length and Transfer-Encoding"};
    }
    if (transferEncodings > 1 || (transferEncodings == 1 && !chunked)) {
        return {400, "a transfer coding other than chunked"};
    }
    return kFine;
}

HeadVerdict CheckUnfinishedHead(std::string_view head) {
    size_t lineEnd = head.find('\n');
    if ((lineEnd == std::string_view::npos ? head.size() : lineEnd) > kMaxRequestLine + 1) {
        return {414, ""};
    }
    if (head.find("\n\n") != std::string_view::npos) {
        return {400, "a bare carriage return or line feed"};
    }
    if (head.size() > kMaxRequestHead) {
        return {431, ""};
    }
    return kFine;
}

RequestShape ShapeOf(std::string_view head) {
    RequestShape shape;
    size_t lineEnd = head.find("\r\n");
    std::string_view requestLine = head.substr(0, lineEnd);
    size_t blank = requestLine.find(' ');
    shape.method = std::string(requestLine.substr(0, blank));
    std::string_view target =
        blank == std::string_view::npos
            ? std::string_view()
            : requestLine.substr(blank + 1, requestLine.find(' ', blank + 1) - blank - 1);
    shape.path =
        httplib::detail::decode_url(std::string(target.substr(0, target.find('?'))), false);
    for (size_t start = lineEnd + 2; start < head.size();) {
        size_t end = head.find("\r\n", start);
        std::string_view line = head.substr(start, end - start);
        start = end + 2;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string_view name = line.substr(0, colon);
        std::string_view value = platform::TrimBlanksAndTabs(line.substr(colon + 1));
        if (platform::EqualsIgnoringCase(name, "Content-Length")) {
            uint64_t length = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
            shape.length = error == std::errc() ? length : UINT64_MAX;
        } else if (platform::EqualsIgnoringCase(name, "Transfer-Encoding")) {
            shape.chunked = true;
        } else if (platform::EqualsIgnoringCase(name, "Expect")) {
            shape.expectsContinue = platform::EqualsIgnoringCase(value, "100-continue");
        } else if (platform::EqualsIgnoringCase(name, "Cookie")) {
            shape.cookie += (shape.cookie.empty() ? "" : "; ") + std::string(value);
        }
    }
    return shape;
}

std::string HandedOnHead(std::string_view head, std::optional<size_t> bodyLength) {
    static constexpr std::string_view kDropped[] = {"accept-encoding", "content-length",
                                                    "transfer-encoding", "expect", kRangeHeader};
    std::string kept;
    for (size_t start = 0; start < head.size();) {
        size_t end = head.find("\r\n", start);
        end = end == std::string_view::npos ? head.size() : end + 2;
        std::string_view line = head.substr(start, end - start);
        start = end;
        std::string_view name = line.substr(0, line.find(':'));
        if (line == "\r\n") {
            break;
        }
        if (std::none_of(std::begin(kDropped), std::end(kDropped), [&](std::string_view dropped) {
                return platform::EqualsIgnoringCase(name, dropped);
            })) {
            kept += platform::EqualsIgnoringCase(name, "Range")
                        ? kRangeHeader + std::string(line.substr(name.size()))
                        : std::string(line);
        }
    }
    if (bodyLength) {
        kept += "Content-Length: " + std::to_string(*bodyLength) + "\r\n";
    }
    return kept + "\r\n";
}

std::string ErrorText(int status, std::string_view reason) {
    switch (status) {
        case 400:
            return "Bad request" + (reason.empty() ? std::string() : ": " + std::string(reason)) +
                   ".\n";
        case 404:
            return "Not found.\n";
        case 411:
            return "Length required: " + std::string(reason) + ".\n";
        case 405:
            return "This method is not allowed here.\n";
        case 413:
            return "Request too large: " +
                   std::string(reason.empty() ? "the server takes at most 8 MB of form data"
                                              : reason) +
                   ".\n";
        case 421:
            return "Misdirected request: this server does not answer to that name.\n";
        case 414:
            return "Address too long: the server takes addresses of at most 8192 characters.\n";
        case 431:
            return "Request headers too large: the server takes at most 32 KB of them.\n";
        default:
            return "The request failed (HTTP " + std::to_string(status) + ").\n";
    }
}

std::string_view StatusPhrase(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 421:
            return "Misdirected Request";
        case 431:
            return "Request Header Fields Too Large";
        default:
            return "Error";
    }
}

}  // namespace vantrel::host
