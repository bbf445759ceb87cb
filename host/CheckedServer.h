#pragma once
// The web server library's server (plain or TLS) with a connection loop of the host's own. Every
// connection gets a thread of its own (ConnectionThreads) and a place in the ConnectionTable; each
// request is read whole by the host first (RequestReader: the head checked, the body bounded) and
// then handed to the library, whose request handling, routes and responses are kept as they are.
// Deadlines keep slow clients from holding a thread: the first request's head (and a TLS
// handshake) must arrive within kHeadTimeout of the connection, a later one's within the
// keep-alive time and kHeadTimeout from its first byte.

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "host/Connection.h"
#include "host/ConnectionTable.h"
#include "host/ConnectionThreads.h"
#include "host/RequestReader.h"

namespace vantrel::host {

inline constexpr auto kHeadTimeout = std::chrono::seconds(5);
inline constexpr int kBacklog = 1024;

// Told of every request refused before the routes: the client, the request line as far as it
// was read, and the status answered.
using RefusalListener =
    std::function<void(const std::string& client, const std::string& requestLine, int status)>;

struct ConnectionSettings {
    const std::atomic<int>* listening;  // the listening socket; closed when the server stops
    size_t keepAliveMaxCount;
    std::chrono::seconds keepAliveTimeout;
    std::chrono::seconds writeTimeout;
    BodyLimits bodyLimits;
};

using RequestRunner =
    std::function<bool(httplib::Stream& stream, bool closeConnection, bool& connectionClosed)>;

// Sends what the current thread's connection holds of its response now (a progress dot); false
// when the client has gone. Without a connection on this thread: true, nothing to send.
bool PushResponse();

// Serves the requests of one connection until it closes, a limit or deadline is reached or a
// request is refused. A response's writes are gathered and sent in few, large pieces: at the end
// of each request, when about 64 KB are waiting, or on PushResponse.
void ServeConnection(Connection& connection, ConnectionTable::Place& place,
                     const ConnectionSettings& settings, Deadline firstHead,
                     const RequestRunner& run, const RefusalListener& refused);

template <typename Base>
class CheckedServer : public Base {
  public:
    using Base::Base;

    // refused: told of every refusal; limits: what each request may carry.
    void Configure(RefusalListener refused, BodyLimits limits) {
        refused_ = std::move(refused);
        bodyLimits_ = std::move(limits);
        // The library makes the queue as it begins to accept connections, on a listening socket
        // with a backlog of 5: a burst of connections would overflow it, and each connection
        // dropped there waits a second for its retry.
        this->new_task_queue = [this] {
            ::listen(this->svr_sock_, kBacklog);
            return new ConnectionThreads;
        };
    }

  private:
    bool process_and_close_socket(socket_t socket) override {
        Deadline firstHead = std::chrono::steady_clock::now() + kHeadTimeout;
        ConnectionSettings settings{&this->svr_sock_, this->keep_alive_max_count_,
                                    std::chrono::seconds(this->keep_alive_timeout_sec_),
                                    std::chrono::seconds(this->write_timeout_sec_), bodyLimits_};
        PrepareSocket(socket, settings.writeTimeout);
        auto place = table_.Enter(socket, PeerAddress(socket));
        std::unique_ptr<Connection> connection;
        if (!place) {
            // Every connection is running a request: nothing can make room.
        } else if constexpr (std::is_base_of_v<httplib::SSLServer, Base>) {
            connection = AcceptTls(this->ssl_context(), socket, firstHead, settings.writeTimeout);
        } else {
            connection = PlainConnection(socket);
        }
        if (connection) {
            ServeConnection(
                *connection, *place, settings, firstHead,
                [this](httplib::Stream& stream, bool close, bool& closed) {
                    return this->process_request(stream, close, closed, nullptr);
                },
                refused_);
            connection->Finish();
        }
        connection.reset();
        place.reset();
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return true;
    }

    RefusalListener refused_;
    BodyLimits bodyLimits_ = [](const RequestShape&) { return BodyLimit{}; };
    ConnectionTable table_{ConnectionTable::Limits{}};
};

}  // namespace vantrel::host
