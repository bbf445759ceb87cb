#include "host/RequestFraming.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

TEST(RequestFramingTest, RefusesHeadsThatTwoServersCouldReadDifferently) {
    const std::pair<std::string, int> cases[] = {
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nContent-Length:\t3 \r\ncontent-length: 3\r\n\r\n", 0},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\ntransfer-encoding: chunked\r\ncontent-length: 3\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nX-A: one\r\n two\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nX-A: one\r\n\tTransfer-Encoding: chunked\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nX-A: one\nHost: a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nX-A: one\rHost: a\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: -3\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n",
         400},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nno colon\r\n\r\n", 400},
        {std::string("GET / HTTP/1.1\r\nX: a\0b\r\n\r\n", 26), 400},
        {"\r\nGET / HTTP/1.1\r\n\r\n", 400},
        {"GET /" + std::string(kMaxRequestLine, 'a') + " HTTP/1.1\r\n\r\n", 414},
    };
    for (const auto& [head, status] : cases) {
        EXPECT_EQ(CheckRequestHead(head).status, status) << head.substr(0, 80);
    }
}

TEST(RequestFramingTest, StopsReadingAHeadThatCanNeverBeAccepted) {
    EXPECT_EQ(CheckUnfinishedHead("GET / HTTP/1.1\r\nHost: a\r\n").status, 0);
    EXPECT_EQ(CheckUnfinishedHead("GET / HTTP/1.1\n\n").status, 400);
    EXPECT_EQ(CheckUnfinishedHead("GET /" + std::string(kMaxRequestLine, 'a')).status, 414);
    EXPECT_EQ(CheckUnfinishedHead("GET / HTTP/1.1\r\n" + std::string(kMaxRequestHead, 'a')).status,
              431);
}

// The library is handed the head without what the host deals with itself: compression (pages
// stream), the body's framing (the body is read already) and ranges (only file answers take one).
TEST(RequestFramingTest, HandsOnTheHeadWithoutWhatTheHostDealsWithItself) {
    EXPECT_EQ(HandedOnHead("POST /a HTTP/1.1\r\nHost: a\r\nAccept-Encoding: gzip, br\r\n"
                           "transfer-encoding: chunked\r\nExpect: 100-continue\r\n"
                           "X-Accept-Encoding: 1\r\nRange: bytes=1-2\r\n"
                           "Vantrel-Range: bytes=0-\r\n\r\n",
                           12),
              "POST /a HTTP/1.1\r\nHost: a\r\nX-Accept-Encoding: 1\r\nVantrel-Range: bytes=1-2\r\n"
              "Content-Length: 12\r\n\r\n");
    EXPECT_EQ(HandedOnHead("GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", std::nullopt),
              "GET / HTTP/1.1\r\n\r\n");
}

}  // namespace
}  // namespace vantrel::host
