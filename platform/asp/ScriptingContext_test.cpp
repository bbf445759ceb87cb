#include "platform/asp/ScriptingContext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::asp {
namespace {

TEST(RequestTest, NamesMatchWithoutRegardToCaseAndRepeatedFieldsJoin) {
    Request request({{"op", "info"}, {"SL", "a.txt"}, {"sl", ""}, {"Sl", "c.txt"}},
                    {{"Sp", "c:\\one"}, {"SP", "c:\\two"}, {"OP", "zip"}, {"tp", "c:\\t"}},
                    {{"session", "first"}, {"SESSION", "second"}, {"tp", "cookie"}},
                    {{"SCRIPT_NAME", "/farbale.asp"}, {"script_name", "/other.asp"}});
    const std::pair<std::string, std::string> cases[] = {
        {request.Item("OP"), "info"},  // the query string comes before the form
        {request.Item("sl"), "a.txt, , c.txt"},
        {request.Form("sp"), "c:\\one, c:\\two"},
        {request.Item("SP"), "c:\\one, c:\\two"},
        {request.Item("TP"), "c:\\t"},       // the form comes before the cookies
        {request.Item("Session"), "first"},  // a cookie sent twice counts with its first value
        {request.ServerVariables("Script_Name"), "/farbale.asp"},
        {request.Item("script_name"), "/farbale.asp"},
        {request.Form("ZN"), ""},
        {request.Item("missing"), ""},
    };
    for (const auto& [actual, expected] : cases) {
        EXPECT_EQ(actual, expected);
    }
}

// A buffered response leaves in pieces of about its buffer's size, and at once on Flush, which
// also pushes the layers below; once the browser has gone, nothing more is sent.
TEST(ResponseTest, BufferedWritesLeaveInPiecesAndAtOnceOnFlush) {
    std::vector<std::string> pieces;
    int pushes = 0;
    bool browserThere = true;
    Response response(
        [&](std::string_view text) {
            pieces.emplace_back(text);
            return browserThere;
        },
        8, [&] { return ++pushes, browserThere; });
    response.Write("<P>");
    response.Write("abc");
    EXPECT_TRUE(pieces.empty());
    response.Write("defgh");
    EXPECT_EQ(pieces, (std::vector<std::string>{"<P>abcdefgh"}));
    response.Write(".\r\n");
    response.Flush();
    EXPECT_EQ(pieces.back(), ".\r\n");
    EXPECT_EQ(pushes, 1);
    response.Flush();  // nothing waiting: the push alone
    EXPECT_EQ(pieces.size(), 2u);
    response.Write("end");
    response.End();
    EXPECT_EQ(pieces.back(), "end");
    EXPECT_EQ(pushes, 2);
    browserThere = false;
    response.Write("lost");
    response.Flush();
    EXPECT_FALSE(response.IsClientConnected());
    response.Write("after");
    response.End();
    EXPECT_EQ(pieces.back(), "lost");
}

}  // namespace
}  // namespace vantrel::asp
