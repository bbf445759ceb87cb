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

class Plain : public Connection {
  public:
    using Connection::Connection;
    ssize_t Receive(char* data, size_t size) override {
        ssize_t n;
        do {
            n = ::recv(Socket(), data, size, 0);
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

class Tls : public Connection {
  public:
    Tls(int socket, SSL* ssl) : Connection(socket), ssl_(ssl) {}
    ~Tls() override { ::SSL_free(ssl_); }
    ssize_t Receive(char* data, size_t size) override {
        int n = ::SSL_read(ssl_, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
        if (n <= 0) {
            failed_ = ::SSL_get_error(ssl_, n) != SSL_ERROR_ZERO_RETURN;
            return failed_ ? -1 : 0;
        }
        return n;
    }
    ssize_t Send(const char* data, size_t size) override {
        int n = ::SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
        if (n <= 0) {
            failed_ = true;
            return -1;
        }
        return n;
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
    bool failed_ = false;
    bool finished_ = false;
};

// The handshake on a socket made non-blocking for it, so that a client that trickles its part
// cannot hold the thread beyond the deadline.
bool Handshake(SSL* ssl, int socket, std::chrono::steady_clock::time_point deadline) {
    int flags = ::fcntl(socket, F_GETFL);
    ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    bool done = false;
    for (;;) {
        int result = ::SSL_accept(ssl);
        if (result == 1) {
            done = true;
            break;
        }
        int error = ::SSL_get_error(ssl, result);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if ((error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) ||
            left <= std::chrono::milliseconds::zero() ||
            !Poll(socket, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, left)) {
            break;
        }
    }
    ::fcntl(socket, F_SETFL, flags);
    return done;
}

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

void SetSocketTimeouts(int socket, std::chrono::seconds read, std::chrono::seconds write) {
    timeval readTimeout{static_cast<time_t>(read.count()), 0};
    timeval writeTimeout{static_cast<time_t>(write.count()), 0};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &readTimeout, sizeof readTimeout);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &writeTimeout, sizeof writeTimeout);
}

void SetNoDelay(int socket) {
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::unique_ptr<Connection> PlainConnection(int socket) {
    return std::make_unique<Plain>(socket);
}

void Connection::EndWriting() {
    ::shutdown(socket_, SHUT_WR);
}

std::unique_ptr<Connection> AcceptTls(SSL_CTX* context, int socket,
                                      std::chrono::steady_clock::time_point deadline) {
    SSL* ssl = ::SSL_new(context);
    if (!ssl) {
        return nullptr;
    }
    if (::SSL_set_fd(ssl, socket) != 1 || !Handshake(ssl, socket, deadline)) {
        ::SSL_free(ssl);
        return nullptr;
    }
    return std::make_unique<Tls>(socket, ssl);
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
