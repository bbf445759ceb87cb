#include <gtest/gtest.h>

#include <fstream>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {
namespace fs = std::filesystem;

using testing::PageRequest;
using testing::TemporaryServer;

const char* const kSourceError =
    "<HTML><BODY><B>ERROR: Cannot create Source file lists.</B></FONT>\r\n</BODY>\r\n</HTML>\r\n";

std::string SourcePage(const std::string& sourcePath, bool debug = false) {
    PageRequest request;
    request.query = {{"OP", "source"}};
    if (!sourcePath.empty()) {
        request.form = {{"SP", sourcePath}};
    }
    request.debug = debug;
    return request.Run();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every line of a page ends in carriage return and line feed.
bool HasBareLineFeed(const std::string& page) {
    for (size_t at = page.find('\n'); at != std::string::npos; at = page.find('\n', at + 1)) {
        if (at == 0 || page[at - 1] != '\r') {
            return true;
        }
    }
    return false;
}

class SourcePageTest : public ::testing::Test {
  protected:
    TemporaryServer server_;
};

TEST_F(SourcePageTest, FirstLoadListsTheWebRootWithAllFiles) {
    std::ofstream(server_.DriveFolder() / "inetpub" / "wwwroot" / "index.htm") << "<html>";
    std::string page = SourcePage("");
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"c:\" SELECTED>c: [DATA]\r\n"));
    EXPECT_TRUE(Contains(page,
                         "<OPTION VALUE=\"index.htm\" TITLE=\"File Name: "
                         "c:\\inetpub\\wwwroot\\index.htm|"));
    EXPECT_TRUE(Contains(page, "Select Source File(s) on 'testserver'</SPAN>"));
    EXPECT_FALSE(HasBareLineFeed(page));
    EXPECT_TRUE(page.ends_with("</FONT>\r\n</BODY>\r\n</HTML>\r\n"));
}

TEST_F(SourcePageTest, PathsThatCannotBeListedGiveTheErrorPage) {
    fs::create_directories(server_.DriveFolder() / "data");
    for (const char* path : {"d:\\", "c:\\data\\", "c:\\missing\\*.*", "c:\\..\\..\\etc\\*.*",
                             "c:\\data\\..\\..\\*.*", "q:\\*.*"}) {
        EXPECT_EQ(SourcePage(path), kSourceError) << path;
    }
    EXPECT_TRUE(Contains(SourcePage("c:\\missing\\*.*", true),
                         "<B>ERROR: Cannot create Source file lists.</B><P>Operation is: source"));
}

TEST_F(SourcePageTest, RelativePathsFallBackToTheWebRoot) {
    for (const char* path : {"relative\\*.zip", "\\inetpub\\*.*", "xc:\\*.*"}) {
        std::string page = SourcePage(path);
        EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"\\inetpub\\wwwroot\" SELECTED>")) << path;
        EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"*.*\" SELECTED>")) << path;
    }
}

TEST_F(SourcePageTest, ListsFollowThePath) {
    fs::create_directories(server_.DriveFolder() / "Data" / "sub");
    std::ofstream(server_.DriveFolder() / "Data" / "a.zip");
    std::ofstream(server_.DriveFolder() / "Data" / "b.txt");
    std::string page = SourcePage("C:\\Data\\*.ZIP");
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"*.zip\" SELECTED>"));
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"\\Data\" SELECTED>&nbsp;&nbsp;Data\r\n"));
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"\\Data\\sub\">&nbsp;&nbsp;&nbsp;&nbsp;sub\r\n"));
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"a.zip\" TITLE="));
    EXPECT_FALSE(Contains(page, "b.txt"));
}

// A folder of more matching files than the list shows: the first thousand in order, and a line
// under the list telling how many more there are; none when the pattern leaves fewer.
TEST_F(SourcePageTest, AThousandFilesAreShownAndTheRestCounted) {
    fs::create_directories(server_.DriveFolder() / "many");
    for (int i = 0; i < 1500; ++i) {
        std::ofstream(server_.DriveFolder() / "many" /
                      ("file" + std::to_string(10000 + i) + ".dat"));
    }
    std::ofstream(server_.DriveFolder() / "many" / "notes.txt");
    std::string page = SourcePage("c:\\many\\*.*");
    size_t options = 0;
    for (size_t at = page.find("<OPTION VALUE=\"file"); at != std::string::npos;
         at = page.find("<OPTION VALUE=\"file", at + 1)) {
        ++options;
    }
    EXPECT_EQ(options, 1000u);
    EXPECT_TRUE(Contains(page, "<OPTION VALUE=\"file10999.dat\""));
    EXPECT_FALSE(Contains(page, "file11000.dat"));
    EXPECT_TRUE(Contains(page,
                         "    </SELECT></FONT>\r\n    <BR><FONT FACE=\"Tahoma,Verdana,Arial,"
                         "sans-serif\" SIZE=\"2\"><SPAN STYLE=\"font-size:9pt\">1,000 of 1,501 "
                         "files shown; narrow the pattern to see others</SPAN></FONT>\r\n  </TD>"));
    EXPECT_FALSE(Contains(SourcePage("c:\\many\\*.txt"), "files shown"));
}

TEST_F(SourcePageTest, ScriptAddressesThisPageAndItsFrames) {
    PageRequest request;
    request.query = {{"OP", "source"}};
    request.scriptName = "/zip/it's.asp";
    std::string page = request.Run();
    EXPECT_TRUE(Contains(page, "objControls.location.href = '/zip/it\\'s.asp?OP=zip';"));
    EXPECT_TRUE(Contains(page, "'/zip/it\\'s.asp?OP=unzip'"));
}

}  // namespace
}  // namespace vantrel
