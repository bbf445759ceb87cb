#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "component/archive/Globals.h"
#include "component/archive/ListingTestLibrary.h"
#include "component/archive/StatusMessage.h"
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

TEST(ZipContents, ListsTheEntriesAndWritesTheSummaryIntoTheResultFrame) {
    TemporaryServer server;
    ListingTestLibrary library;
    library.entries = {{"docs/", 0, 0}, {"docs/a.txt", 1000, 250}};
    std::string page = ContentsPage("C:\\data\\a.zip");
    EXPECT_EQ(library.archive, "C:\\data\\a.zip");
    std::string list = ListOf(page);
    EXPECT_TRUE(list.starts_with("<OPTION VALUE=\"docs\\*.*\" TITLE=\"File Name: docs\\|"));
    EXPECT_TRUE(list.ends_with(">docs\\a.txt\r\n\r\n"));
    std::string script = SummaryScript(page);
    EXPECT_NE(script.find("objOutDoc.write('<B>Zip File Details</B><BR><SPAN "
                          "STYLE=\\\"font-size:9pt\\\">File Name: C:\\\\data\\\\a.zip<BR>');"),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("objOutDoc.write('Number of files: 2<BR>Total uncompressed sizes: "
                          "1,000 bytes<BR>Total compressed size: 250 bytes<BR>Overall "
                          "Compression rate: 75%');"),
              std::string::npos)
        << script;
    EXPECT_NE(page.find("<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" VALUE=\"call_unziplist\">\r\n"
                        "<INPUT TYPE=\"HIDDEN\" NAME=\"ZL\">\r\n<INPUT TYPE=\"HIDDEN\" "
                        "NAME=\"SP\">"),
              std::string::npos);
    EXPECT_NE(page.find("top.showPage('help.htm#view')"), std::string::npos);
}

TEST(ZipContents, AFailedListingShowsThreeEntriesAndOnlyTheFileName) {
    TemporaryServer server;
    ListingTestLibrary library;
    library.countResult = -2;
    std::string page = ContentsPage("c:\\broken.zip");
    EXPECT_EQ(ListOf(page), "<OPTION>Cannot read zip<OPTION>file contents:<OPTION><B>Error:</B> " +
                                StatusMessage(-2) + "\r\n");
    std::string script = SummaryScript(page);
    EXPECT_NE(script.find("File Name: c:\\\\broken.zip<BR>');\r\nobjOutDoc.write('');\r\n"),
              std::string::npos)
        << script;
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
    fs::path lock = server.DriveFolder() / "temp" / "~su4242.~fb";
    std::ofstream(lock).close();
    ContentsPage("c:\\a.zip");
    EXPECT_TRUE(fs::exists(lock));
}

TEST(ZipContents, ARealArchiveAndARealFailureThroughTheLibrary) {
    TemporaryServer server;
    fs::path folder = lszip::ComponentFolder();
    if (!fs::exists(folder / "liblspuzipx.so")) {
        GTEST_SKIP() << "the zip library is not built beside the tests";
    }
    fs::path data = server.DriveFolder() / "data";
    fs::create_directories(data / "docs");
    std::ofstream(data / "docs" / "my file.txt") << "hello hello hello hello";
    std::ofstream(data / "not-a.zip") << "plain text, not an archive";
    std::string command = "cd '" + data.string() + "' && zip -qr a.zip docs";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::string list = ListOf(ContentsPage("c:\\data\\a.zip"));
    EXPECT_NE(list.find("<OPTION VALUE=\"docs\\*.*\""), std::string::npos) << list;
    EXPECT_NE(list.find(">docs\\my file.txt\r\n"), std::string::npos) << list;
    EXPECT_NE(list.find("Uncompressed Size: 23 bytes"), std::string::npos) << list;

    std::string failed = ListOf(ContentsPage("c:\\data\\not-a.zip"));
    EXPECT_TRUE(
        failed.starts_with("<OPTION>Cannot read zip<OPTION>file contents:<OPTION>"
                           "<B>Error:</B> "))
        << failed;
}

}  // namespace
}  // namespace vantrel
