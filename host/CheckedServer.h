#pragma once
// The web server library's server (plain or TLS) with a connection loop of the host's own: each
// request's head is read and checked (RequestFraming) before the library parses it, so framing
// that a proxy in front could read differently is answered with 400 and the connection closed.
// The library's own request handling, routes and responses are kept as they are.

#include <httplib.h>

#include <atomic>
#include <functional>
#include <string>
#include <type_traits>

#include "host/Connection.h"

namespace vantrel::host {

// Told of every request refused before the routes: the client, the request line as far as it
// was read, and the status answered.
using RefusalListener =
    std::function<void(const std::string& client, const std::string& requestLine, int status)>;

struct ConnectionSettings {
    const std::atomic<int>* listening;  // the listening socket; closed when the server stops
    size_t keepAliveMaxCount;
    std::chrono::seconds keepAliveTimeout;
    std::chrono::seconds readTimeout;
    std::chrono::seconds writeTimeout;
};

using RequestRunner =
    std::function<bool(httplib::Stream& stream, bool closeConnection, bool& connectionClosed)>;

// Sends what the current thread's connection holds of its response now (a progress dot); false
// when the client has gone. Without a connection on this thread: true, nothing to send.
bool PushResponse();

// Serves the requests of one connection until it closes, a limit is reached or a request is
// refused. A response's writes are gathered and sent in few, large pieces: at the end of each
// request, when about 64 KB are waiting, or on PushResponse.
void ServeConnection(Connection& connection, const ConnectionSettings& settings,
                     const RequestRunner& run, const RefusalListener& refused);

template <typename Base>
class CheckedServer : public Base {
  public:
    using Base::Base;

    void OnRefusal(RefusalListener listener) { refused_ = std::move(listener); }

  private:
    bool process_and_close_socket(socket_t socket) override {
        ConnectionSettings settings{&this->svr_sock_, this->keep_alive_max_count_,
                                    std::chrono::seconds(this->keep_alive_timeout_sec_),
                                    std::chrono::seconds(this->read_timeout_sec_),
                                    std::chrono::seconds(this->write_timeout_sec_)};
        SetSocketTimeouts(socket, settings.readTimeout, settings.writeTimeout);
        SetNoDelay(socket);
        std::unique_ptr<Connection> connection;
        if constexpr (std::is_base_of_v<httplib::SSLServer, Base>) {
            connection = AcceptTls(this->ssl_context(), socket);
        } else {
            connection = PlainConnection(socket);
        }
        if (connection) {
            ServeConnection(
                *connection, settings,
                [this](httplib::Stream& stream, bool closeConnection, bool& connectionClosed) {
                    return this->process_request(stream, closeConnection, connectionClosed,
                                                 nullptr);
                },
                refused_);
            connection->Finish();
        }
        connection.reset();
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return true;
    }

    RefusalListener refused_;
};

}  // namespace vantrel::host
