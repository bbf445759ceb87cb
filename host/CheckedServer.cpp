#include "host/CheckedServer.h"

#include <algorithm>

#include "host/RequestFraming.h"

namespace vantrel::host {

namespace {

constexpr size_t kGatheredBytes = 64 * 1024;
// A refused client still sending its request is read (and the bytes dropped) this long, so that
// it sees the refusal rather than a reset connection.
constexpr auto kLingerAfterRefusal = std::chrono::seconds(2);

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

// The library's view of the connection: it reads the one request the host has read and handed
// on, never beyond it, and writes through the gathered response.
class CheckedStream : public httplib::Stream {
  public:
    CheckedStream(Connection& connection, RequestReader& reader, const ConnectionSettings& settings,
                  Outgoing& outgoing)
        : connection_(connection), reader_(reader), settings_(settings), outgoing_(outgoing) {}

    bool is_readable() const override { return reader_.HasMoreOfRequest(); }
    bool is_writable() const override { return connection_.WaitWritable(settings_.writeTimeout); }
    ssize_t read(char* data, size_t size) override { return reader_.Take(data, size); }
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
    RequestReader& reader_;
    const ConnectionSettings& settings_;
    Outgoing& outgoing_;
};

void SendAll(Connection& connection, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = connection.Send(bytes.data(), bytes.size());
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

// Ends the connection's writing and reads (and drops) what the client still sends for a while,
// so that a client still sending a request sees the answer rather than a reset connection.
void Linger(Connection& connection) {
    connection.EndWriting();
    Deadline until = std::chrono::steady_clock::now() + kLingerAfterRefusal;
    char dropped[16 * 1024];
    while (connection.Receive(dropped, sizeof dropped, until) > 0) {
    }
}

// Answers a refused request and closes the connection: the client may still be sending what was
// refused, and reads the answer once it is done.
void Refuse(Connection& connection, const HeadVerdict& verdict) {
    std::string body = ErrorText(verdict.status, verdict.reason);
    SendAll(connection, "HTTP/1.1 " + std::to_string(verdict.status) + " " +
                            std::string(StatusPhrase(verdict.status)) +
                            "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                            "X-Content-Type-Options: nosniff\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    Linger(connection);
}

// Waits for the first byte of a request; false when none comes by the deadline or the server
// stops meanwhile, so an idle browser never holds up a stopping server.
bool WaitForRequest(Connection& connection, const ConnectionSettings& settings, Deadline deadline) {
    constexpr std::chrono::milliseconds kSlice(200);
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

}  // namespace

bool PushResponse() {
    return !t_outgoing || t_outgoing->Send();
}

void ServeConnection(Connection& connection, ConnectionTable::Place& place,
                     const ConnectionSettings& settings, Deadline firstHead,
                     const RequestRunner& run, const RefusalListener& refused) {
    RequestReader reader(connection);
    Outgoing outgoing(connection);
    struct Current {
        explicit Current(Outgoing* outgoing) { t_outgoing = outgoing; }
        ~Current() { t_outgoing = nullptr; }
    } current(&outgoing);
    Deadline headDeadline = firstHead;
    for (size_t left = settings.keepAliveMaxCount; left > 0; --left) {
        bool first = left == settings.keepAliveMaxCount;
        if (*settings.listening == INVALID_SOCKET) {
            return;
        }
        if (!first) {
            place.Waiting();
            auto idle = std::chrono::steady_clock::now() + settings.keepAliveTimeout;
            if (!reader.HasPending() && !WaitForRequest(connection, settings, idle)) {
                return;
            }
            headDeadline = std::chrono::steady_clock::now() + kHeadTimeout;
        } else if (!WaitForRequest(connection, settings, firstHead)) {
            return;
        }
        HeadVerdict refusal;
        if (!reader.Read(headDeadline, settings.bodyLimits, refusal)) {
            if (refusal.status) {
                std::string requestLine = reader.RequestLine();
                Refuse(connection, refusal);
                if (refused) {
                    refused(PeerAddress(connection.Socket()), requestLine, refusal.status);
                }
            }
            return;
        }
        place.Running();
        CheckedStream stream(connection, reader, settings, outgoing);
        bool closed = false;
        bool served = run(stream, left == 1, closed);
        bool whole = reader.EndRequest();
        if (!outgoing.Send() || !served || closed) {
            return;
        }
        if (!whole) {
            Linger(connection);  // the rest of an upload the answer did not wait for
            return;
        }
    }
}

}  // namespace vantrel::host
