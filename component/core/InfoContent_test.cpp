// The information page with the zip library present and with its files moved away.
#include <gtest/gtest.h>

#include <filesystem>

#include "component/archive/Globals.h"
#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

std::string InfoPage() {
    testing::PageRequest request;
    request.query = {{"OP", "info"}};
    return request.Run();
}

const char* const kContentStart = "<SPAN STYLE=\"font-size:9pt\">Quillfen Farbale v1.10<BR>\r\n";

TEST(InfoContent, ShowsTheComponentAndBothLibraryVersions) {
    testing::TemporaryServer server;
    std::string page = InfoPage();
    EXPECT_NE(page.find(std::string(kContentStart) +
                        "Installed compression system versions: ZIP v1.10, UNZIP v1.10\r\n"
                        "</SPAN>"),
              std::string::npos)
        << page;
}

TEST(InfoContent, ShowsEmptyVersionsWhenTheLibraryFilesAreMissing) {
    testing::TemporaryServer server;
    std::filesystem::create_directories(server.Root() / "empty");
    lszip::SetZipLibraryFolder((server.Root() / "empty").string());
    std::string page = InfoPage();
    lszip::SetZipLibraryFolder("");
    EXPECT_NE(page.find(std::string(kContentStart) +
                        "Installed compression system versions: ZIP v, UNZIP v\r\n</SPAN>"),
              std::string::npos)
        << page;
}

}  // namespace
}  // namespace vantrel
