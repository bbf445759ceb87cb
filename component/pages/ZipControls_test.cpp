#include <gtest/gtest.h>

#include <regex>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

using testing::PageRequest;
using testing::TemporaryServer;

std::string ZipControls(bool debug = false) {
    TemporaryServer server;
    PageRequest request;
    request.query = {{"OP", "zip"}};
    request.form = {{"SP", "<b>posted</b>"}};
    request.debug = debug;
    return request.Run();
}

TEST(ZipControls, ControlsComeInPageOrderWithTheirDefaults) {
    std::string page = ZipControls();
    std::vector<std::string> names;
    std::regex control("NAME=\"(chk\\w+|sel\\w+|txt\\w+|btn\\w+)\"");
    for (std::sregex_iterator it(page.begin(), page.end(), control), end; it != end; ++it) {
        names.push_back((*it)[1]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"btnStart", "chkPaths", "chkRecurse", "selCompress",
                                               "chkUpdate", "chkFreshen", "chkEncrypt",
                                               "txtPassword", "chkDelete"}));
    EXPECT_EQ(page.find("CHECKED"), std::string::npos);
    EXPECT_NE(page.find("<OPTION VALUE=\"5\" SELECTED>5\r\n"), std::string::npos);
    EXPECT_EQ(page.find("SELECTED"), page.rfind("SELECTED"));
    EXPECT_NE(page.find("<INPUT TYPE=\"PASSWORD\" NAME=\"txtPassword\" SIZE=\"20\" DISABLED"),
              std::string::npos);
}

TEST(ZipControls, PostsTheCallIntoTheResultFrame) {
    std::string page = ZipControls();
    EXPECT_NE(page.find("<FORM NAME=\"frmCall\" ACTION=\"/farbale.asp\" TARGET=\"result\" "
                        "METHOD=\"POST\">\r\n<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" "
                        "VALUE=\"call_zip\">\r\n<INPUT TYPE=\"HIDDEN\" NAME=\"SP\">\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("ONCLICK=\"top.showPage('help.htm#zip')\">"), std::string::npos);
    EXPECT_EQ(page.find("<b>posted"), std::string::npos) << "the page reads no request field";
}

TEST(ZipControls, DebugEchoComesBeforeThePageClose) {
    std::string page = ZipControls(true);
    size_t echo = page.find("<P>Operation is: zip<BR>");
    ASSERT_NE(echo, std::string::npos);
    EXPECT_LT(page.find("</FORM>\r\n", page.find("frmButtons")), echo);
    EXPECT_TRUE(page.ends_with("</FONT>\r\n</BODY>\r\n</HTML>\r\n"));
}

}  // namespace
}  // namespace vantrel
