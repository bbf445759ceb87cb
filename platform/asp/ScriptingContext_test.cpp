#include "platform/asp/ScriptingContext.h"

#include <gtest/gtest.h>

namespace vantrel::asp {
namespace {

TEST(RequestTest, NamesMatchWithoutRegardToCaseAndRepeatedFieldsJoin) {
    Request request({{"op", "info"}, {"SL", "a.txt"}, {"sl", ""}, {"Sl", "c.txt"}},
                    {{"Sp", "c:\\one"}, {"SP", "c:\\two"}, {"OP", "zip"}, {"tp", "c:\\t"}},
                    {{"session", "first"}, {"SESSION", "second"}, {"tp", "cookie"}},
                    {{"SCRIPT_NAME", "/farbale.asp"}, {"script_name", "/other.asp"}});
    const std::pair<std::string, std::string> cases[] = {
        {request.Item("OP"), "info"},  // the query string comes before the form
        {request.QueryString("sL"), "a.txt, , c.txt"},
        {request.Item("sl"), "a.txt, , c.txt"},
        {request.Form("sp"), "c:\\one, c:\\two"},
        {request.Item("SP"), "c:\\one, c:\\two"},
        {request.Item("TP"), "c:\\t"},  // the form comes before the cookies
        {request.Cookies("Session"), "first"},
        {request.ServerVariables("Script_Name"), "/farbale.asp"},
        {request.Item("script_name"), "/farbale.asp"},
        {request.Form("ZN"), ""},
        {request.Item("missing"), ""},
    };
    for (const auto& [actual, expected] : cases) {
        EXPECT_EQ(actual, expected);
    }
}

}  // namespace
}  // namespace vantrel::asp
