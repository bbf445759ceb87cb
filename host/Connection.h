#pragma once
// One client connection as bytes in and out: a plain TCP socket or a TLS session on one. A read
// waits for bytes no longer than its deadline, however the client trickles them (a TLS record a
// byte at a time included); a write waits at most the write time-out for the client to take it.

#include <openssl/ssl.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>

namespace vantrel::host {

using Deadline = std::chrono::steady_clock::time_point;

class Connection {
  public:
    explicit Connection(int socket) : socket_(socket) {}
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Bytes read by the deadline, 0 when the client closed, negative on a failure or time-out.
    virtual ssize_t Receive(char* data, size_t size, Deadline deadline) = 0;
    virtual ssize_t Send(const char* data, size_t size) = 0;
    // Bytes already read from the socket and waiting to be received (TLS records).
    virtual bool HasBuffered() const { return false; }
    // Ends the session politely where the protocol has a way to (TLS close_notify).
    virtual void Finish() {}
    // Sends nothing more, while what the client still sends can be read: a refusal reaches a
    // client that is still sending, where closing at once would reset the connection first.
    virtual void EndWriting();

    int Socket() const { return socket_; }
    // Whether bytes arrive within the time (or are buffered already).
    bool WaitReadable(std::chrono::milliseconds timeout) const;
    bool WaitWritable(std::chrono::milliseconds timeout) const;

  private:
    int socket_;
};

// Sets the socket's send time-out, which every blocking write then keeps, and sends every write
// at once: responses are gathered into few writes by the host itself, and Nagle's algorithm would
// hold the last piece of each until the client's delayed acknowledgement.
void PrepareSocket(int socket, std::chrono::seconds writeTimeout);

std::unique_ptr<Connection> PlainConnection(int socket);
// Completes the TLS handshake by the deadline; nullptr when the client does not.
std::unique_ptr<Connection> AcceptTls(SSL_CTX* context, int socket, Deadline deadline,
                                      std::chrono::seconds writeTimeout);

// "192.0.2.7" or "2001:db8::7" for the peer (or the local end) of a socket; empty on failure.
std::string PeerAddress(int socket, int* port = nullptr);
std::string LocalAddress(int socket, int* port = nullptr);

}  // namespace vantrel::host
