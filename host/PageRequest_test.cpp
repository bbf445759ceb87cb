#include "host/PageRequest.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

// Forms in UTF-8, blanks sent as "+", reach the pages whole: see the browser's and the host's
// tests.
TEST(PageRequestTest, KeepsQueryAndFormApart) {
    httplib::Request http;
    http.method = "POST";
    http.target = "/farbale.asp?OP=%20info%20&SP=query";
    http.body = "SP=form&OS=---";
    http.headers.emplace("Content-Type", "application/x-www-form-urlencoded");
    http.headers.emplace("Cookie", "a=1; VANTRELSESSION=abc");
    asp::Request request = BuildPageRequest(http, "/farbale.asp", "server");
    EXPECT_EQ(request.Item("OP"), " info ");
    EXPECT_EQ(request.Form("SP"), "form");
    EXPECT_EQ(request.Item("SP"), "query");
    EXPECT_EQ(request.Form("OP"), "");
    EXPECT_EQ(request.Item("VANTRELSESSION"), "abc");
    EXPECT_EQ(request.ServerVariables("SCRIPT_NAME"), "/farbale.asp");
    EXPECT_EQ(request.ServerVariables("QUERY_STRING"), "OP=%20info%20&SP=query");
}

// The site a post must come from is the one the browser sent it to: the Host header, or what a
// trusted proxy says in X-Forwarded-Host and (then exactly) X-Forwarded-Proto.
TEST(PageRequestTest, RefusesPostsFromOtherSites) {
    struct Case {
        const char* origin;
        const char* referer;
        const char* peer;  // 127.0.0.1 is the trusted proxy
        bool forwarded;    // X-Forwarded-Host: example.org, X-Forwarded-Proto: https
        bool allowed;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080", "", "10.0.0.9", false, true},
        {"https://127.0.0.1:8080", "", "10.0.0.9", false, true},
        {"http://evil.example", "", "10.0.0.9", false, false},
        {"null", "", "10.0.0.9", false, false},
        {"", "http://127.0.0.1:8080/farbale.asp?OP=zip", "10.0.0.9", false, true},
        {"", "http://127.0.0.1:8080.evil.example/x", "10.0.0.9", false, false},
        {"", "http://evil.example/farbale.asp", "10.0.0.9", false, false},
        {"", "", "10.0.0.9", false, true},
        {"https://example.org", "", "127.0.0.1", true, true},
        {"http://example.org", "", "127.0.0.1", true, false},
        {"http://127.0.0.1:8080", "", "127.0.0.1", true, false},
        {"https://example.org", "", "10.0.0.9", true, false},
    };
    std::vector<TrustedProxy> proxies = {*TrustedProxy::Parse("127.0.0.1")};
    for (const auto& c : cases) {
        httplib::Request http;
        http.method = "POST";
        http.remote_addr = c.peer;
        http.headers.emplace("Host", "127.0.0.1:8080");
        if (c.forwarded) {
            http.headers.emplace("X-Forwarded-Host", "example.org");
            http.headers.emplace("X-Forwarded-Proto", "https");
        }
        if (*c.origin) {
            http.headers.emplace("Origin", c.origin);
        }
        if (*c.referer) {
            http.headers.emplace("Referer", c.referer);
        }
        EXPECT_EQ(IsSameSitePost(http, ResolveForwarded(http, proxies, false)), c.allowed)
            << c.origin << " " << c.referer << " from " << c.peer;
    }
}

TEST(PageRequestTest, ServerNameIsTheHostWithoutPort) {
    EXPECT_EQ(HostName("", "fallback"), "fallback");
    EXPECT_EQ(HostName("example.org:8080", "fallback"), "example.org");
    EXPECT_EQ(HostName("[::1]:8080", "fallback"), "[::1]");
}

}  // namespace
}  // namespace vantrel::host
