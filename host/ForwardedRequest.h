#pragma once
// Who sent a request, over which scheme and to which host name, as a reverse proxy in front tells
// it: X-Forwarded-For, X-Forwarded-Proto and X-Forwarded-Host count only on a request that comes
// straight from one of the trusted proxies (--trusted-proxy). From anyone else the headers are
// ignored, so no client can claim another's address or a secure connection. A host that listens on
// a Unix socket takes every peer there for the proxy in front: the socket's permissions decide who
// may connect, and no browser can.

#include <httplib.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::host {

// An address or a network of the --trusted-proxy option: "127.0.0.1", "::1", "10.0.0.0/8".
class TrustedProxy {
  public:
    static std::optional<TrustedProxy> Parse(std::string_view text);
    bool Contains(std::string_view address) const;
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
    bool ipv6_ = false;
    std::array<unsigned char, 16> bytes_{};
    int prefixBits_ = 0;
};

struct ForwardedRequest {
    std::string client;            // the client's address
    bool https = false;            // the browser's connection is HTTPS (here or at the proxy)
    bool forwardedScheme = false;  // https came from a trusted proxy's X-Forwarded-Proto
    std::string host;              // the Host the browser sent, with its port: "example.org:8443"
};

// The client a request over the host's Unix socket comes from when no proxy names one.
inline constexpr const char* kLocalSocketPeer = "unix";

// tls: this host itself serves HTTPS. overLocalSocket: the request came over the host's Unix
// socket.
ForwardedRequest ResolveForwarded(const httplib::Request& request,
                                  const std::vector<TrustedProxy>& proxies, bool tls,
                                  bool overLocalSocket = false);

}  // namespace vantrel::host
