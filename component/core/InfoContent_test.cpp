// The information page.
#include <gtest/gtest.h>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

std::string InfoPage() {
    testing::PageRequest request;
    request.query = {{"OP", "info"}};
    return request.Run();
}

TEST(InfoContent, ShowsTheComponentAndBothLibraryVersions) {
    testing::TemporaryServer server;
    std::string page = InfoPage();
    EXPECT_NE(page.find("<SPAN STYLE=\"font-size:9pt\">Quillfen Farbale v1.10<BR>\r\n"
                        "Installed compression system versions: ZIP v1.10, UNZIP v1.10\r\n"
                        "</SPAN>"),
              std::string::npos)
        << page;
}

}  // namespace
}  // namespace vantrel
