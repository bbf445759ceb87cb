#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "component/archive/ListingTestLibrary.h"
#include "component/core/PageHarness.h"

namespace vantrel {
namespace {
namespace fs = std::filesystem;

using testing::ListingTestLibrary;
using testing::PageRequest;
using testing::TemporaryServer;

std::string ContentsPage(const std::string& zipName) {
    PageRequest request;
    request.query = {{"OP", "unziplist"}, {"ZN", zipName}};
    return request.Run();
}

// What the page writes between the list box's opening and its end.
std::string ListOf(const std::string& page) {
    size_t start = page.find("information.\">\r\n");
    size_t end = page.find("   </SELECT></SPAN></FONT>");
    if (start == std::string::npos || end == std::string::npos) {
        return "(no list)";
    }
    start += std::string("information.\">\r\n").size();
    return page.substr(start, end - start);
}

std::string SummaryScript(const std::string& page) {
    size_t start = page.find("objOutDoc = top.frames['result'].document;");
    return start == std::string::npos ? "(no script)" : page.substr(start);
}

TEST(ZipContents, AHostileArchivePathCanNeitherEndTheScriptNorRunOne) {
    TemporaryServer server;
    ListingTestLibrary library;
    std::string page = ContentsPage("c:\\it's</script><script>alert(1)</script>.zip");
    std::string script = SummaryScript(page);
    EXPECT_EQ(script.find("</script>"), std::string::npos);
    EXPECT_EQ(script.find("<script>"), std::string::npos);
    EXPECT_NE(script.find("File Name: c:\\\\it&#39;s&lt;/script&gt;&lt;script&gt;alert(1)"
                          "&lt;/script&gt;.zip<BR>');"),
              std::string::npos)
        << script;
    // Nor the download link or form: the path stands escaped in the address and the value.
    EXPECT_NE(page.find("HREF=\"download?path=c%3A%5Cit%27s%3C%2Fscript%3E%3Cscript%3Ealert%281%29"
                        "%3C%2Fscript%3E.zip\" TARGET=\"result\""),
              std::string::npos);
    EXPECT_NE(page.find("NAME=\"path\" VALUE=\"c:\\it&#39;s&lt;/script&gt;&lt;script&gt;alert(1)"
                        "&lt;/script&gt;.zip\">"),
              std::string::npos);
    // A line break in the path does not even reach the listing.
    page = ContentsPage("c:\\a\r\n.zip");
    EXPECT_EQ(library.calls,
              (std::vector<std::string>{"reset", "zipname", "execute 1 1", "reset"}));
    EXPECT_NE(page.find("The request field ZN holds a control character"), std::string::npos);
}

TEST(ZipContents, AFailurePartWayFollowsTheEntriesListed) {
    TemporaryServer server;
    ListingTestLibrary library;
    for (int i = 0; i < 2000; ++i) {
        library.entries.push_back({"entry " + std::to_string(i) + ".txt", 1, 1});
    }
    library.failAtEntry = 1500;
    std::string list = ListOf(ContentsPage("c:\\a.zip"));
    const std::string failure =
        "<OPTION>Cannot read zip<OPTION>file contents:<OPTION><B>Error:</B> ";
    EXPECT_NE(list.find(">entry 1499.txt\r\n" + failure), std::string::npos);
    EXPECT_EQ(list.find(">entry 1500.txt"), std::string::npos);
}

TEST(ZipContents, TheListingLeavesTheOperationSlotsAlone) {
    TemporaryServer server;
    ListingTestLibrary library;
    // An unzip operation of another request holds its slot.
    fs::path lock = server.QueueFolder() / "~su0000.~fb";
    std::ofstream(lock).close();
    ContentsPage("c:\\a.zip");
    EXPECT_TRUE(fs::exists(lock));
}

}  // namespace
}  // namespace vantrel
