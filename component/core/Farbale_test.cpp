#include "component/core/Farbale.h"

#include <gtest/gtest.h>

#include "component/archive/FakeZipLibrary.h"
#include "component/core/OperationCall.h"
#include "component/core/PageHarness.h"
#include "platform/asp/NumberTextCases.h"

namespace vantrel {

// What creation fixes for the object's life.
struct CreationTests {};
template <>
struct FarbaleTestAccess<CreationTests> {
    static std::string TempDir(const Farbale& f) { return f.TempDir; }
    static int32_t TimeOut(const Farbale& f) { return f.TimeOutSeconds; }
    static int32_t WaitFor(const Farbale& f) { return f.WaitForSeconds; }
};
using Created = FarbaleTestAccess<CreationTests>;

namespace {

using testing::PageRequest;
using testing::TemporaryServer;

const char* const kInfoShellStart =
    "<META NAME=\"Updated\" CONTENT=\"1999-12-08\">\r\n"
    "</HEAD>\r\n<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">\r\n"
    "<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n";

class ShowPageTest : public ::testing::Test {
  protected:
    TemporaryServer server_;
};

TEST_F(ShowPageTest, WritesTheFramesetForUnknownOperations) {
    for (const char* op : {"", "Source", "nothing", "ZIP"}) {
        PageRequest request;
        if (*op) {
            request.query = {{"OP", op}};
        }
        bool result = false;
        std::string page = request.Run(&result);
        EXPECT_NE(page.find("<FRAME BORDER=\"0\" SRC=\"/farbale.asp?OP=zip\" NAME=\"controls\">"),
                  std::string::npos)
            << op;
        EXPECT_TRUE(result);
        EXPECT_EQ(CurrentContext(), nullptr) << "a finished request leaves no way to it";
    }
}

TEST_F(ShowPageTest, ASecondCallOnTheSameObjectWritesThePageAgain) {
    PageRequest once;
    once.query = {{"OP", "info"}};
    PageRequest twice = once;
    twice.twice = true;
    std::string page = once.Run();
    EXPECT_EQ(twice.Run(), page + page);
}

TEST_F(ShowPageTest, TrimsTheOperationAndTakesItFromAForm) {
    PageRequest fromQuery;
    fromQuery.query = {{"OP", " info "}};
    EXPECT_NE(fromQuery.Run().find(kInfoShellStart), std::string::npos);

    PageRequest fromForm;
    fromForm.form = {{"OP", "info"}};
    EXPECT_NE(fromForm.Run().find(kInfoShellStart), std::string::npos);

    PageRequest lowerCaseName;
    lowerCaseName.query = {{"op", "info"}};
    EXPECT_NE(lowerCaseName.Run().find(kInfoShellStart), std::string::npos);
}

TEST(OperationCallTest, TellsOperationCallsByTheTrimmedOperation) {
    const std::pair<const char*, bool> cases[] = {
        {"call_zip", true},  {" call_unzip ", true}, {"call_", true},
        {"Call_zip", false}, {"zip", false},         {"", false},
        {"x call_", false},
    };
    for (const auto& [op, isCall] : cases) {
        asp::Request fromQuery({{"OP", op}}, {}, {}, {});
        asp::Request fromForm({}, {{"OP", op}}, {}, {});
        EXPECT_EQ(IsOperationCall(fromQuery), isCall) << op;
        EXPECT_EQ(IsOperationCall(fromForm), isCall) << op;
    }
}

TEST_F(ShowPageTest, ReadsFormFieldsOnlyFromTheForm) {
    PageRequest request;
    request.debug = true;
    request.query = {{"SP", "c:\\query"}, {"OS", "---"}, {"ZN", "c:\\a.zip"}};
    request.form = {{"SL", " a.txt|b.txt "}, {"PW", "secret"}};
    std::string page = request.Run();
    EXPECT_NE(page.find("Source path is: <BR>\r\n"), std::string::npos);
    EXPECT_NE(page.find("Options String is: <P>\r\n"), std::string::npos);
    EXPECT_NE(page.find("Source list is: a.txt|b.txt<BR>\r\n"), std::string::npos);
    EXPECT_NE(page.find("Password is: ********<BR>\r\n"), std::string::npos);
    EXPECT_EQ(page.find("secret"), std::string::npos);
    EXPECT_NE(page.find("ZipFile Name is: c:\\a.zip<BR>\r\n"), std::string::npos);
}

// A NUL or any other control character in any field refuses the whole request before anything
// is checked or touched; only blanks are trimmed, so a tab or a line break at either end counts.
TEST_F(ShowPageTest, ControlCharactersInAnyFieldRefuseTheRequest) {
    testing::FakeZipLibrary library;
    const std::string nul(1, '\0');
    const std::pair<const char*, std::string> cases[] = {
        {"OP", "call_zip\t"}, {"TP", "c:\\out\x1F.zip"},  {"PW", "pass\x7Fword"},
        {"ZD", "\x01"},       {"OS", "-P5" + nul + "--"},
    };
    for (const auto& [field, value] : cases) {
        PageRequest request;
        request.form = {{"OP", "call_zip"},
                        {"SL", "c:\\inetpub\\wwwroot\\a.txt"},
                        {"TP", "c:\\inetpub\\wwwroot\\out.zip"},
                        {"OS", "--5---"}};
        request.form.insert(request.form.begin(), {field, value});  // the first one counts
        bool result = true;
        std::string page = request.Run(&result);
        EXPECT_FALSE(result) << field;
        EXPECT_NE(page.find("</HEAD>\r\n<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">\r\n<FONT "
                            "FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n<B>Error:</B> "
                            "The request field " +
                            std::string(field) + " holds a control character"),
                  std::string::npos)
            << field << page;
        EXPECT_TRUE(page.ends_with("nothing was done.<P>\r\n</FONT>\r\n</BODY>\r\n</HTML>\r\n"));
        EXPECT_EQ(page.find("Creating"), std::string::npos) << field;
    }
    EXPECT_EQ(library.executes(), 0);
}

TEST_F(ShowPageTest, DebugEchoFollowsTheBodyAndEscapesValues) {
    PageRequest request;
    request.debug = true;
    request.form = {{"SP", "<script>alert(1)</script>"}};
    std::string page = request.Run();
    EXPECT_NE(page.find("<BODY>\r\n<P>Operation is: <BR>\r\n"), std::string::npos);
    EXPECT_NE(page.find("Source path is: &lt;script&gt;alert(1)&lt;/script&gt;<BR>"),
              std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST(FarbaleCreationTest, PrefersCTempForTheTemporaryDirectory) {
    TemporaryServer server;
    EXPECT_EQ(Created::TempDir(Farbale()), "c:\\temp\\");
    std::filesystem::remove_all(server.DriveFolder() / "temp");
    EXPECT_EQ(Created::TempDir(Farbale()), "c:\\tmp\\");
    EXPECT_TRUE(std::filesystem::is_directory(server.DriveFolder() / "tmp"));
}

TEST(FarbaleCreationTest, ReadsThePeriodsWithTheHostsRounding) {
    TemporaryServer server;
    {
        Farbale defaults;
        EXPECT_EQ(Created::TimeOut(defaults), 300);
        EXPECT_EQ(Created::WaitFor(defaults), 30);
    }
    // What is not a 32-bit whole number gives the default.
    for (const auto& test : asp::testing::kNumberTextCases) {
        std::string text(test.text);
        bool whole = test.reading == asp::testing::NumberReading::Whole;
        server.StoreSetting("DLLOperationTimeOut", text);
        server.StoreSetting("DLLOperationWaitFor", text);
        Farbale component;
        EXPECT_EQ(Created::TimeOut(component), whole ? test.whole : 300) << text;
        EXPECT_EQ(Created::WaitFor(component), whole ? test.whole : 30) << text;
    }
}

}  // namespace
}  // namespace vantrel
