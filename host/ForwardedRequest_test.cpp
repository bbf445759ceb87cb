#include "host/ForwardedRequest.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantrel::host {
namespace {

// Each case: the peer, the headers it sent (one a line), and what the host takes from them.
TEST(ForwardedRequestTest, BelievesTheHeadersOnlyFromTrustedProxies) {
    const struct {
        const char* peer;
        const char* headers;
        const char* seen;  // client, scheme, host
    } cases[] = {
        // Nobody's headers count without a trusted peer.
        {"203.0.113.5",
         "X-Forwarded-For: 10.1.1.1\nX-Forwarded-Proto: https\nX-Forwarded-Host: bank.example",
         "203.0.113.5 http h:8080"},
        {"127.0.0.1",
         "X-Forwarded-For: 198.51.100.7\nX-Forwarded-Proto: https\nX-Forwarded-Host: "
         "example.org:8443",
         "198.51.100.7 https example.org:8443"},
        // A client's own claim in front of the proxy's entry is not believed.
        {"127.0.0.1", "X-Forwarded-For: 1.2.3.4, 198.51.100.7", "198.51.100.7 http h:8080"},
        // Trusted hops are passed through, here the network 10.0.0.0/8.
        {"127.0.0.1", "X-Forwarded-For: 198.51.100.7, 10.9.8.7", "198.51.100.7 http h:8080"},
        {"::1", "X-Forwarded-For: 2001:db8::7", "2001:db8::7 http h:8080"},
        // Headers given twice are one list; the nearest proxy's scheme counts.
        {"127.0.0.1",
         "X-Forwarded-For: 5.5.5.5\nX-Forwarded-For: 198.51.100.7\nX-Forwarded-Proto: http, https",
         "198.51.100.7 https h:8080"},
        // Garbage is never taken for an address, a scheme or a host.
        {"127.0.0.1",
         "X-Forwarded-For: <script>\nX-Forwarded-Proto: gopher\nX-Forwarded-Host: "
         "evil.example/\"><b>",
         "127.0.0.1 http h:8080"},
        {"127.0.0.1", "X-Forwarded-For: 198.51.100.7, not-an-address", "127.0.0.1 http h:8080"},
    };
    std::vector<TrustedProxy> proxies = {*TrustedProxy::Parse("127.0.0.1"),
                                         *TrustedProxy::Parse("::1"),
                                         *TrustedProxy::Parse("10.0.0.0/8")};
    for (const auto& c : cases) {
        httplib::Request request;
        request.remote_addr = c.peer;
        request.headers.emplace("Host", "h:8080");
        std::istringstream headers(c.headers);
        for (std::string line; std::getline(headers, line);) {
            request.headers.emplace(line.substr(0, line.find(':')),
                                    line.substr(line.find(':') + 2));
        }
        ForwardedRequest view = ResolveForwarded(request, proxies, false);
        EXPECT_EQ(view.client + (view.https ? " https " : " http ") + view.host, c.seen)
            << c.headers;
    }
}

TEST(ForwardedRequestTest, ParsesAddressesAndNetworks) {
    EXPECT_TRUE(TrustedProxy::Parse("10.0.0.0/8")->Contains("10.255.0.1"));
    EXPECT_FALSE(TrustedProxy::Parse("10.0.0.0/8")->Contains("11.0.0.1"));
    EXPECT_TRUE(TrustedProxy::Parse("192.168.4.0/22")->Contains("192.168.7.9"));
    EXPECT_FALSE(TrustedProxy::Parse("192.168.4.0/22")->Contains("192.168.8.1"));
    EXPECT_TRUE(TrustedProxy::Parse("fd00::/8")->Contains("fd12::1"));
    EXPECT_FALSE(TrustedProxy::Parse("127.0.0.1")->Contains("::1"));
    for (const char* wrong : {"", "localhost", "10.0.0.0/33", "::1/129", "1.2.3.4/", "1.2.3.4/x"}) {
        EXPECT_FALSE(TrustedProxy::Parse(wrong)) << wrong;
    }
}

}  // namespace
}  // namespace vantrel::host
