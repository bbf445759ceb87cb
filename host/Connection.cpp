#include "host/Connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vantrel::host {

namespace {

bool Poll(int socket, short events, std::chrono::milliseconds timeout) {
    pollfd entry{socket, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & events) && !(entry.revents & (POLLERR | POLLNVAL));
}

std::chrono::milliseconds Left(Deadline deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
}

// Waits for what a TLS call on a non-blocking socket needs to go on; false for a failure or when
// the time is up.
bool WaitForTls(SSL* ssl, int result, int socket, Deadline deadline) {
    int error = ::SSL_get_error(ssl, result);
    short events = error == SSL_ERROR_WANT_READ    ? POLLIN
                   : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                   : 0;
    return events != 0 && Poll(socket, events, Left(deadline));
}

class Plain : public Connection {
  public:
    using Connection::Connection;
    ssize_t Receive(char* data, size_t size, Deadline deadline) override {
        if (!Poll(Socket(), POLLIN, Left(deadline))) {
            return -1;
        }
        ssize_t n;
        do {
            n = ::recv(Socket(), data, size, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        return n;
    }
    ssize_t Send(const char* data, size_t size) override {
        ssize_t n;
        do {
            n = ::send(Socket(), data, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }
};

// A TLS session on a non-blocking socket: every wait is a poll with its own limit.
class Tls : public Connection {
  public:
    Tls(int socket, SSL* ssl, std::chrono::seconds writeTimeout)
        : Connection(socket), ssl_(ssl), writeTimeout_(writeTimeout) {}
    ~Tls() override { ::SSL_free(ssl_); }
    ssize_t Receive(char* data, size_t size, Deadline deadline) override {
        for (;;) {
            int n = ::SSL_read(ssl_, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
            if (n > 0) {
                return n;
            }
            if (::SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN) {
                return 0;
            }
            if (!WaitForTls(ssl_, n, Socket(), deadline)) {
                failed_ = true;
                return -1;
            }
        }
    }
    ssize_t Send(const char* data, size_t size) override {
        Deadline deadline = std::chrono::steady_clock::now() + writeTimeout_;
        for (;;) {
            int n = ::SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
            if (n > 0) {
                return n;
            }
            if (!WaitForTls(ssl_, n, Socket(), deadline)) {
                failed_ = true;
                return -1;
            }
        }
    }
    bool HasBuffered() const override { return ::SSL_pending(ssl_) > 0; }
    void Finish() override {
        if (!failed_ && !finished_) {
            ::SSL_shutdown(ssl_);
        }
        finished_ = true;
    }
    void EndWriting() override { Finish(); }

  private:
    SSL* ssl_;
    std::chrono::seconds writeTimeout_;
    bool failed_ = false;
    bool finished_ = false;
};

std::string NumericAddress(const sockaddr_storage& address, socklen_t length, int* port) {
    char host[NI_MAXHOST], service[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host,
                      service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return {};
    }
    if (port) {
        *port = std::atoi(service);
    }
    std::string text = host;
    if (text.rfind("::ffff:", 0) == 0 && text.find('.') != std::string::npos) {
        text = text.substr(7);  // an IPv4 client of a dual-stack socket
    }
    return text;
}

}  // namespace

bool Connection::WaitReadable(std::chrono::milliseconds timeout) const {
    return HasBuffered() || Poll(socket_, POLLIN, timeout);
}

bool Connection::WaitWritable(std::chrono::milliseconds timeout) const {
    return Poll(socket_, POLLOUT, timeout);
}

void PrepareSocket(int socket, std::chrono::seconds writeTimeout) {
    timeval timeout{static_cast<time_t>(writeTimeout.count()), 0};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::unique_ptr<Connection> PlainConnection(int socket) {
    return std::make_unique<Plain>(socket);
}

void Connection::EndWriting() {
    ::shutdown(socket_, SHUT_WR);
}

std::unique_ptr<Connection> AcceptTls(SSL_CTX* context, int socket, Deadline deadline,
                                      std::chrono::seconds writeTimeout) {
    SSL* ssl = ::SSL_new(context);
    if (!ssl || ::SSL_set_fd(ssl, socket) != 1) {
        ::SSL_free(ssl);
        return nullptr;
    }
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    auto tls = std::make_unique<Tls>(socket, ssl, writeTimeout);
    // A client that trickles its part of the handshake cannot hold the thread beyond the deadline.
    for (;;) {
        int result = ::SSL_accept(ssl);
        if (result == 1) {
            return tls;
        }
        if (!WaitForTls(ssl, result, socket, deadline)) {
            return nullptr;
        }
    }
}

std::string PeerAddress(int socket, int* port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return NumericAddress(address, length, port);
}

std::string LocalAddress(int socket, int* port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return NumericAddress(address, length, port);
}

}  // namespace vantrel::host
