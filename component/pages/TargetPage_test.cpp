#include <gtest/gtest.h>

#include <fstream>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {
namespace fs = std::filesystem;

using testing::PageRequest;
using testing::TemporaryServer;

struct TargetFields {
    const char* targetPath;
    const char* zipName;
    const char* zipDisabled;
};

std::string TargetPage(const TargetFields& fields) {
    PageRequest request;
    request.query = {{"OP", "target"}};
    request.form = {{"TP", fields.targetPath}, {"ZN", fields.zipName}, {"ZD", fields.zipDisabled}};
    return request.Run();
}

// The name box's second line: nine blanks, the state, the value.
std::string NameBoxState(const std::string& page) {
    size_t start = page.find("NAME=\"txtZipName\"");
    start = page.find("\r\n", start) + 2;
    return page.substr(start, page.find("></FONT>", start) - start);
}

class TargetPageTest : public ::testing::Test {
  protected:
    TemporaryServer server_;
};

TEST_F(TargetPageTest, NameBoxKeepsNameAndStateAcrossReloads) {
    struct Case {
        TargetFields fields;
        const char* nameBox;
    } cases[] = {
        {{"", "", ""}, "          VALUE=\"untitled.zip\""},
        {{"c:\\*.*", "backup.zip", "DISABLED=YES"}, "         DISABLED=YES VALUE=\"backup.zip\""},
        {{"c:\\*.*", "x.zip", "disabled=yes"}, "          VALUE=\"x.zip\""},
        {{"c:\\*.*", "x.zip", "ONFOCUS=alert(1)"}, "          VALUE=\"x.zip\""},
        {{"c:\\*.*", "a\"><SCRIPT>x</SCRIPT>", ""},
         "          VALUE=\"a&quot;&gt;&lt;SCRIPT&gt;x&lt;/SCRIPT&gt;\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameBoxState(TargetPage(c.fields)), c.nameBox) << c.fields.zipDisabled;
    }
}

TEST_F(TargetPageTest, ListsFoldersOfTheTargetPathOnly) {
    fs::create_directories(server_.DriveFolder() / "backup" / "old");
    std::ofstream(server_.DriveFolder() / "backup" / "file.txt");
    std::string page = TargetPage({"c:\\backup\\*.*", "", ""});
    EXPECT_NE(page.find("<OPTION VALUE=\"c:\" SELECTED>c: [DATA]\r\n"), std::string::npos);
    EXPECT_NE(page.find("<OPTION VALUE=\"\\backup\" SELECTED>&nbsp;&nbsp;backup\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("<OPTION VALUE=\"\\backup\\old\">"), std::string::npos);
    EXPECT_EQ(page.find("file.txt"), std::string::npos);
}

TEST_F(TargetPageTest, FallsBackOrRefusesAsThePathDemands) {
    std::string fallback = TargetPage({"relative\\path", "", ""});
    EXPECT_NE(fallback.find("<OPTION VALUE=\"\\inetpub\\wwwroot\" SELECTED>"), std::string::npos);

    const std::string error =
        "<HTML><BODY><B>ERROR: Cannot create Target lists.</B></FONT>\r\n</BODY>\r\n</HTML>\r\n";
    for (const char* path : {"c:\\missing\\*.*", "c:\\..\\*.*", "z:\\*.*"}) {
        EXPECT_EQ(TargetPage({path, "", ""}), error) << path;
    }
}

}  // namespace
}  // namespace vantrel
