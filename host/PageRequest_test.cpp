#include "host/PageRequest.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

TEST(PageRequestTest, DecodesFormsAsUtf8) {
    auto fields = ParseUrlEncoded("SP=c%3A%5Cdaten%5C%C3%BCber+uns&OP=source&empty=&flag");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].second,
              "c:\\daten\\\xC3\xBC"
              "ber uns");
    EXPECT_EQ(fields[1], (std::pair<std::string, std::string>{"OP", "source"}));
    EXPECT_EQ(fields[2].second, "");
    EXPECT_EQ(fields[3].first, "flag");
}

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
    EXPECT_EQ(request.QueryString("SP"), "query");
    EXPECT_EQ(request.Item("SP"), "query");
    EXPECT_EQ(request.Form("OP"), "");
    EXPECT_EQ(request.Cookies("VANTRELSESSION"), "abc");
    EXPECT_EQ(request.ServerVariables("SCRIPT_NAME"), "/farbale.asp");
    EXPECT_EQ(request.ServerVariables("QUERY_STRING"), "OP=%20info%20&SP=query");
}

TEST(PageRequestTest, RefusesPostsFromOtherSites) {
    struct Case {
        const char* origin;
        const char* referer;
        bool allowed;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080", "", true},
        {"http://evil.example", "", false},
        {"null", "", false},
        {"", "http://127.0.0.1:8080/farbale.asp?OP=zip", true},
        {"", "http://127.0.0.1:8080.evil.example/x", false},
        {"", "http://evil.example/farbale.asp", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        httplib::Request http;
        http.method = "POST";
        http.headers.emplace("Host", "127.0.0.1:8080");
        if (*c.origin) {
            http.headers.emplace("Origin", c.origin);
        }
        if (*c.referer) {
            http.headers.emplace("Referer", c.referer);
        }
        EXPECT_EQ(IsSameSitePost(http), c.allowed) << c.origin << " " << c.referer;
    }
}

TEST(PageRequestTest, ServerNameIsTheHostWithoutPort) {
    httplib::Request http;
    EXPECT_EQ(HostName(http, "fallback"), "fallback");
    http.headers.emplace("Host", "example.org:8080");
    EXPECT_EQ(HostName(http, "fallback"), "example.org");
}

}  // namespace
}  // namespace vantrel::host
