#include <gtest/gtest.h>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

using testing::PageRequest;
using testing::TemporaryServer;

std::string PageFor(const std::string& operation, const std::string& scriptName = "/farbale.asp") {
    PageRequest request;
    request.query = {{"OP", operation}};
    request.scriptName = scriptName;
    return request.Run();
}

// The INPUT element that carries NAME="name", from its start to its closing ">".
std::string Control(const std::string& page, const std::string& name) {
    size_t at = page.find("NAME=\"" + name + "\"");
    if (at == std::string::npos) {
        return "(no " + name + ")";
    }
    size_t start = page.rfind('<', at);
    return page.substr(start, page.find('>', at) - start + 1);
}

TEST(UnzipControls, TheContentsAddressEncodesTheZipPathAndEscapesThePagesOwnPath) {
    TemporaryServer server;
    std::string page = PageFor("unzip", "/app's/\"x\".asp");
    std::string control = Control(page, "chkList");
    EXPECT_NE(control.find("window.location.href = '/app\\&#39;s/\\&quot;x\\&quot;.asp?OP="
                           "unziplist&amp;ZN=' + encodeURIComponent(strZip);"),
              std::string::npos)
        << control;
}

TEST(UnzipOptionRows, TheContentsPageHasNoUpdateOrFreshenRows) {
    TemporaryServer server;
    std::string page = PageFor("unziplist");
    EXPECT_NE(page.find("NAME=\"chkRestore\""), std::string::npos);
    EXPECT_EQ(page.find("NAME=\"chkUpdate\""), std::string::npos);
    EXPECT_EQ(page.find("NAME=\"chkFreshen\""), std::string::npos);
}

}  // namespace
}  // namespace vantrel
