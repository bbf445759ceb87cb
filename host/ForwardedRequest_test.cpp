#include "host/ForwardedRequest.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

TEST(ForwardedRequestTest, BelievesTheHeadersOnlyFromTrustedProxies) {
    struct Case {
        const char* peer;
        std::vector<std::pair<const char*, const char*>> headers;
        const char* client;
        bool https;
        const char* host;
    };
    const Case cases[] = {
        // Nobody's headers count without a trusted peer.
        {"203.0.113.5",
         {{"X-Forwarded-For", "10.1.1.1"},
          {"X-Forwarded-Proto", "https"},
          {"X-Forwarded-Host", "bank.example"}},
         "203.0.113.5",
         false,
         "h:8080"},
        {"127.0.0.1",
         {{"X-Forwarded-For", "198.51.100.7"},
          {"X-Forwarded-Proto", "https"},
          {"X-Forwarded-Host", "example.org:8443"}},
         "198.51.100.7",
         true,
         "example.org:8443"},
        // A client's own claim in front of the proxy's entry is not believed.
        {"127.0.0.1",
         {{"X-Forwarded-For", "1.2.3.4, 198.51.100.7"}},
         "198.51.100.7",
         false,
         "h:8080"},
        // Trusted hops are passed through, here the network 10.0.0.0/8.
        {"127.0.0.1",
         {{"X-Forwarded-For", "198.51.100.7, 10.9.8.7"}},
         "198.51.100.7",
         false,
         "h:8080"},
        {"::1", {{"X-Forwarded-For", "2001:db8::7"}}, "2001:db8::7", false, "h:8080"},
        // Headers given twice are one list; the nearest proxy's scheme counts.
        {"127.0.0.1",
         {{"X-Forwarded-For", "5.5.5.5"},
          {"X-Forwarded-For", "198.51.100.7"},
          {"X-Forwarded-Proto", "http, https"}},
         "198.51.100.7",
         true,
         "h:8080"},
        // Garbage is never taken for an address, a scheme or a host.
        {"127.0.0.1",
         {{"X-Forwarded-For", "<script>"},
          {"X-Forwarded-Proto", "gopher"},
          {"X-Forwarded-Host", "evil.example/\"><b>"}},
         "127.0.0.1",
         false,
         "h:8080"},
        {"127.0.0.1",
         {{"X-Forwarded-For", "198.51.100.7, not-an-address"}},
         "127.0.0.1",
         false,
         "h:8080"},
    };
    std::vector<TrustedProxy> proxies = {*TrustedProxy::Parse("127.0.0.1"),
                                         *TrustedProxy::Parse("::1"),
                                         *TrustedProxy::Parse("10.0.0.0/8")};
    for (const auto& c : cases) {
        httplib::Request request;
        request.remote_addr = c.peer;
        request.headers.emplace("Host", "h:8080");
        for (const auto& [name, value] : c.headers) {
            request.headers.emplace(name, value);
        }
        ForwardedRequest view = ResolveForwarded(request, proxies, false);
        EXPECT_EQ(view.client, c.client) << c.peer;
        EXPECT_EQ(view.https, c.https) << c.peer;
        EXPECT_EQ(view.host, c.host) << c.peer;
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
