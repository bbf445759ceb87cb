#include "host/CheckedServer.h"

#include <algorithm>
#include <optional>

#include "host/RequestFraming.h"

namespace vantrel::host {

namespace {

// Bytes read from the connection that the library has not taken yet: the rest of a head, a
// body, or the next request on the connection.
struct Pending {
    std::string bytes;
    size_t offset = 0;

    bool Empty() const { return offset >= bytes.size(); }
    std::string_view View() const { return std::string_view(bytes).substr(offset); }
};

constexpr size_t kGatheredBytes = 64 * 1024;

// A response's bytes on their way out: gathered, so that a head and a small body, or many small
// chunks of a page, leave in one send.
class Outgoing {
  public:
    explicit Outgoing(Connection& connection) : connection_(connection) {}

    bool Write(const char* data, size_t size) {
        if (failed_) {
            return false;
        }
        if (bytes_.size() + size > kGatheredBytes && !Send()) {
            return false;
        }
        if (size >= kGatheredBytes) {
            return SendAll(data, size);
        }
        bytes_.append(data, size);
        return true;
    }
    // Sends what is gathered; false once the client cannot take it.
    bool Send() {
        if (!failed_ && !bytes_.empty()) {
            SendAll(bytes_.data(), bytes_.size());
        }
        bytes_.clear();
        return !failed_;
    }

  private:
    bool SendAll(const char* data, size_t size) {
        while (size > 0) {
            ssize_t n = connection_.Send(data, size);
            if (n <= 0) {
                failed_ = true;
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    Connection& connection_;
    std::string bytes_;
    bool failed_ = false;
};

// The connection served on this thread: a page pushes its progress through it.
thread_local Outgoing* t_outgoing = nullptr;

class CheckedStream : public httplib::Stream {
  public:
    CheckedStream(Connection& connection, Pending& pending, const ConnectionSettings& settings,
                  Outgoing& outgoing)
        : connection_(connection), pending_(pending), settings_(settings), outgoing_(outgoing) {}

    bool is_readable() const override {
        return !pending_.Empty() || connection_.WaitReadable(settings_.readTimeout);
    }
    bool is_writable() const override { return connection_.WaitWritable(settings_.writeTimeout); }
    ssize_t read(char* data, size_t size) override {
        if (!pending_.Empty()) {
            size_t n = std::min(size, pending_.bytes.size() - pending_.offset);
            std::copy_n(pending_.bytes.data() + pending_.offset, n, data);
            pending_.offset += n;
            return static_cast<ssize_t>(n);
        }
        if (!is_readable()) {
            return -1;
        }
        return connection_.Receive(data, size);
    }
    ssize_t write(const char* data, size_t size) override {
        return outgoing_.Write(data, size) ? static_cast<ssize_t>(size) : -1;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = PeerAddress(connection_.Socket(), &port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = LocalAddress(connection_.Socket(), &port);
    }
    socket_t socket() const override { return connection_.Socket(); }

  private:
    Connection& connection_;
    Pending& pending_;
    const ConnectionSettings& settings_;
    Outgoing& outgoing_;
};

// Reads until the pending bytes hold a whole head; its verdict, or nullopt when the client went
// away or was too slow.
std::optional<HeadVerdict> ReadHead(Connection& connection, Pending& pending,
                                    const ConnectionSettings& settings) {
    // A head trickling in a byte at a time must not hold a thread for ever.
    auto deadline = std::chrono::steady_clock::now() + 4 * settings.readTimeout;
    if (pending.offset > 0) {
        pending.bytes.erase(0, pending.offset);
        pending.offset = 0;
    }
    for (;;) {
        // Empty lines before a request line are ignored, as some clients send one after a body.
        while (pending.bytes.starts_with("\r\n")) {
            pending.bytes.erase(0, 2);
        }
        size_t end = pending.bytes.find("\r\n\r\n");
        if (end != std::string::npos) {
            return CheckRequestHead(std::string_view(pending.bytes).substr(0, end + 4));
        }
        if (HeadVerdict verdict = CheckUnfinishedHead(pending.bytes); verdict.status) {
            return verdict;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        char buffer[4096];
        ssize_t n = connection.WaitReadable(settings.readTimeout)
                        ? connection.Receive(buffer, sizeof buffer)
                        : -1;
        if (n <= 0) {
            return std::nullopt;
        }
        pending.bytes.append(buffer, static_cast<size_t>(n));
    }
}

void Refuse(Connection& connection, const HeadVerdict& verdict) {
    std::string body = ErrorText(verdict.status, verdict.reason);
    std::string response = "HTTP/1.1 " + std::to_string(verdict.status) + " " +
                           std::string(StatusPhrase(verdict.status)) +
                           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    size_t sent = 0;
    while (sent < response.size()) {
        ssize_t n = connection.Send(response.data() + sent, response.size() - sent);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

// Waits for the next request of a kept-alive connection; false when none comes in time or the
// server stops meanwhile, so an idle browser never holds up a stopping server.
bool WaitForNextRequest(Connection& connection, const ConnectionSettings& settings) {
    constexpr std::chrono::milliseconds kSlice(200);
    auto deadline = std::chrono::steady_clock::now() + settings.keepAliveTimeout;
    while (*settings.listening != INVALID_SOCKET) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            return false;
        }
        if (connection.WaitReadable(std::min(left, kSlice))) {
            return true;
        }
    }
    return false;
}

// The library compresses a response whenever the browser accepts it; the host's pages stream.
void DropAcceptEncoding(Pending& pending) {
    size_t end = pending.bytes.find("\r\n\r\n") + 4;
    pending.bytes = WithoutAcceptEncoding(std::string_view(pending.bytes).substr(0, end)) +
                    pending.bytes.substr(end);
}

std::string RequestLineOf(const Pending& pending) {
    std::string_view bytes = pending.View();
    return std::string(bytes.substr(0, std::min(bytes.find('\r'), kMaxRequestLine)));
}

}  // namespace

bool PushResponse() {
    return !t_outgoing || t_outgoing->Send();
}

void ServeConnection(Connection& connection, const ConnectionSettings& settings,
                     const RequestRunner& run, const RefusalListener& refused) {
    Pending pending;
    Outgoing outgoing(connection);
    struct Current {
        explicit Current(Outgoing* outgoing) { t_outgoing = outgoing; }
        ~Current() { t_outgoing = nullptr; }
    } current(&outgoing);
    for (size_t left = settings.keepAliveMaxCount; left > 0; --left) {
        if (*settings.listening == INVALID_SOCKET) {
            return;
        }
        if (pending.Empty() && !WaitForNextRequest(connection, settings)) {
            return;
        }
        std::optional<HeadVerdict> verdict = ReadHead(connection, pending, settings);
        if (!verdict) {
            return;
        }
        if (verdict->status) {
            Refuse(connection, *verdict);
            if (refused) {
                refused(PeerAddress(connection.Socket()), RequestLineOf(pending), verdict->status);
            }
            return;
        }
        DropAcceptEncoding(pending);
        CheckedStream stream(connection, pending, settings, outgoing);
        bool closed = false;
        bool served = run(stream, left == 1, closed);
        if (!outgoing.Send() || !served || closed) {
            return;
        }
    }
}

}  // namespace vantrel::host
