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

TEST(UnzipControls, ControlsStandInPageOrderWithTheirKeysTitlesAndHandlers) {
    TemporaryServer server;
    std::string page = PageFor("unzip");
    struct Case {
        const char* name;
        const char* key;
        const char* handler;
        const char* title;
    } cases[] = {
        {"btnStart", "U", "doStart()", "Start the Zip or Unzip Process"},
        {"chkRestore", "R", nullptr,
         "Include Do not re-create any subfolders that may be stored in the zip file"},
        {"chkUpdate", "U", "setUpdate(this)",
         "Extract all files that do not already exist in the target folder, but only replace "
         "existing files if the ones in the zip file are more recent"},
        {"chkFreshen", "F", "setFreshen(this)",
         "Extract from the zip file only files that already exist in the target folder, and only "
         "if they are more recent than the existing files"},
        {"chkDecrypt", "P", "enablePassword(this)",
         "Apply the password entered below when unzipping the files in the zip file"},
        {"txtPassword", nullptr, nullptr, "Password to be used to decrypt files in the zip file"},
        {"chkList", "C", "getZipFileName()",
         "Display a list of the files in the selected zip file"},
        {"chkTest", "T", "setTest(this)", "Test the selected zip file for internal errors"},
        {"chkFix", "F", "setFix(this)", "Try and repair the selected zip file if it is damaged"},
    };
    size_t previous = 0;
    for (const Case& c : cases) {
        size_t at = page.find(std::string("NAME=\"") + c.name + "\"");
        ASSERT_NE(at, std::string::npos) << c.name;
        EXPECT_GT(at, previous) << c.name << " is out of order";
        previous = at;
        std::string control = Control(page, c.name);
        EXPECT_NE(control.find(std::string("TITLE=\"") + c.title + "\""), std::string::npos)
            << control;
        if (c.key) {
            EXPECT_NE(control.find(std::string("ACCESSKEY=\"") + c.key + "\""), std::string::npos)
                << control;
        }
        if (c.handler) {
            EXPECT_NE(control.find(c.handler), std::string::npos) << control;
        }
    }
    EXPECT_NE(page.find("TITLE=\"Password to be used to decrypt files in the zip file\">"
                        "<BR>&nbsp;</SPAN></FONT>"),
              std::string::npos);
    EXPECT_NE(page.find("Don't <U>R</U>estore Folders"), std::string::npos);
    EXPECT_NE(page.find("Attempt to <U>F</U>ix Zip File"), std::string::npos);
    EXPECT_NE(page.find("top.showPage('help.htm#unzip')"), std::string::npos);
}

TEST(UnzipControls, PostsCallUnzipWithoutAnEntryList) {
    TemporaryServer server;
    std::string page = PageFor("unzip");
    EXPECT_NE(page.find("<FORM NAME=\"frmCall\" ACTION=\"/farbale.asp\" TARGET=\"result\" "
                        "METHOD=\"POST\">\r\n<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" "
                        "VALUE=\"call_unzip\">\r\n<INPUT TYPE=\"HIDDEN\" NAME=\"SP\">"),
              std::string::npos);
    EXPECT_EQ(page.find("NAME=\"ZL\""), std::string::npos);
    EXPECT_NE(page.find("VALUE=\"Unzip\""), std::string::npos);
    EXPECT_TRUE(page.ends_with("</FONT>\r\n</BODY>\r\n</HTML>\r\n"));
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
    EXPECT_NE(page.find("NAME=\"chkDecrypt\""), std::string::npos);
    EXPECT_NE(page.find("<INPUT TYPE=\"PASSWORD\" NAME=\"txtPassword\""), std::string::npos);
    EXPECT_EQ(page.find("NAME=\"chkUpdate\""), std::string::npos);
    EXPECT_EQ(page.find("NAME=\"chkFreshen\""), std::string::npos);
    // The rows leave a cell open into which the list box goes.
    EXPECT_NE(page.find("<TD VALIGN=\"TOP\" ALIGN=\"LEFT\" NOWRAP>\r\n" +
                        std::string("<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">") +
                        "<SPAN STYLE=\"font-size:9pt\"><SELECT NAME=\"selFiles\""),
              std::string::npos);
}

}  // namespace
}  // namespace vantrel
