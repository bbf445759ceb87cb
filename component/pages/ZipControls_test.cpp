#include <gtest/gtest.h>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

using testing::PageRequest;
using testing::TemporaryServer;

std::string ZipControls() {
    TemporaryServer server;
    PageRequest request;
    request.query = {{"OP", "zip"}};
    request.form = {{"SP", "<b>posted</b>"}};
    request.scriptName = "/tools/zip.asp";
    return request.Run();
}

// The form addresses the page itself, wherever the site put it.
TEST(ZipControls, PostsTheCallIntoTheResultFrame) {
    std::string page = ZipControls();
    EXPECT_NE(page.find("<FORM NAME=\"frmCall\" ACTION=\"/tools/zip.asp\" TARGET=\"result\" "
                        "METHOD=\"POST\">\r\n<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" "
                        "VALUE=\"call_zip\">"),
              std::string::npos);
    EXPECT_EQ(page.find("<b>posted"), std::string::npos) << "the page reads no request field";
}

}  // namespace
}  // namespace vantrel
