#include "component/core/Farbale.h"

#include <gtest/gtest.h>

#include "component/archive/FakeZipLibrary.h"
#include "component/core/PageHarness.h"
#include "platform/asp/NumberTextCases.h"

namespace vantrel {

struct CoreTests;
template <>
struct FarbaleTestAccess<CoreTests> {
    static const std::string& CallFormToResult(Farbale& f) { return f.strCallFormToResult; }
    static const std::string& CallFieldsAndButtons(Farbale& f) { return f.strCallFieldsAndButtons; }
    static const std::string& HiddenOpOpen(Farbale& f) { return f.strHiddenOpOpen; }
    static void BuildFragments(Farbale& f) {
        f.strNewLine = "\r\n";
        f.BuildFragments();
    }
};
using Access = FarbaleTestAccess<CoreTests>;

namespace {

using testing::PageRequest;
using testing::TemporaryServer;

const char* const kFrameset =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\r\n"
    "<HTML><HEAD>\r\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\r\n"
    "<TITLE>Quillfen Farbale</TITLE>\r\n"
    "<META NAME=\"Updated\" CONTENT=\"1999-12-08\">\r\n"
    "<META NAME=\"keywords\" CONTENT=\"Quillfen.Farbale, Active Server Pages, ASP, Active Server "
    "Components, DLL, Farbale, Farbale, quillfen, Quillfen Farbale\">\r\n"
    "<META NAME=\"description\" CONTENT=\"The Quillfen Farbale server-based Zipfile manager\">\r\n"
    "<SCRIPT LANGUAGE=\"JAVASCRIPT\">\r\n"
    "<!--\r\n"
    "function showPage(strPage) {\r\n"
    "  window.open(strPage,'new_win', "
    "'scrollbars=yes,toolbar=no,location=no,directories=no,status=yes,menubar=yes')\r\n"
    "}\r\n"
    "// -->\r\n"
    "</SCRIPT>\r\n"
    "</HEAD>\r\n"
    "<FRAMESET BORDER=\"0\" COLS=\"535,*\">\r\n"
    "  <FRAMESET BORDER=\"0\" ROWS=\"*,120\">\r\n"
    "    <FRAMESET BORDER=\"0\" COLS=\"335,*\">\r\n"
    "      <FRAME BORDER=\"0\" SRC=\"/farbale.asp?OP=source\" NAME=\"source\">\r\n"
    "      <FRAME BORDER=\"0\" SRC=\"/farbale.asp?OP=target\" NAME=\"target\">\r\n"
    "    </FRAMESET>\r\n"
    "    <FRAME BORDER=\"0\" SRC=\"/farbale.asp?OP=info\" NAME=\"result\">\r\n"
    "  </FRAMESET>\r\n"
    "  <FRAME BORDER=\"0\" SRC=\"/farbale.asp?OP=zip\" NAME=\"controls\">\r\n"
    "</FRAMESET>\r\n"
    "<BODY>\r\n"
    "<H3>This application requires a frame-enabled browser</H3>\r\n"
    "</FONT>\r\n"
    "</BODY>\r\n"
    "</HTML>\r\n";

const char* const kInfoShellStart =
    "<META NAME=\"Updated\" CONTENT=\"1999-12-08\">\r\n"
    "</HEAD>\r\n<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">\r\n"
    "<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n";

class ShowPageTest : public ::testing::Test {
  protected:
    TemporaryServer server_;
};

TEST_F(ShowPageTest, WritesTheFramesetExactlyForUnknownOperations) {
    for (const char* op : {"", "Source", "nothing", "ZIP"}) {
        PageRequest request;
        if (*op) {
            request.query = {{"OP", op}};
        }
        bool result = false;
        EXPECT_EQ(request.Run(&result), kFrameset) << op;
        EXPECT_TRUE(result);
        EXPECT_EQ(CurrentContext(), nullptr) << "a finished page leaves no way to its request";
    }
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
        EXPECT_EQ(Farbale::IsOperationCall(fromQuery), isCall) << op;
        EXPECT_EQ(Farbale::IsOperationCall(fromForm), isCall) << op;
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
        {"SL", "c:\\outside\\secret.txt" + nul + "c:\\inetpub\\wwwroot\\"},
        {"OP", "call_zip\t"},
        {"SP", "c:\\in\\\r\n"},
        {"TP", "c:\\out\x1F.zip"},
        {"PW", "pass\x7Fword"},
        {"ZL", "a.txt\n"},
        {"ZN", "c:\\a" + nul + ".zip"},
        {"ZD", "\x01"},
        {"OS", "-P5" + nul + "--"},
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

TEST_F(ShowPageTest, DebugEchoNeedsExactlyYes) {
    PageRequest request;
    request.debug = false;
    EXPECT_EQ(request.Run().find("Operation is:"), std::string::npos);
}

TEST_F(ShowPageTest, WithoutAContextReportsFailureWithoutThrowing) {
    Farbale component;
    EXPECT_FALSE(component.ShowPage());
}

TEST(FarbaleCreationTest, PrefersCTempForTheTemporaryDirectory) {
    TemporaryServer server;
    EXPECT_EQ(Farbale().TemporaryDirectory(), "c:\\temp\\");
    std::filesystem::remove_all(server.DriveFolder() / "temp");
    EXPECT_EQ(Farbale().TemporaryDirectory(), "c:\\tmp\\");
    EXPECT_TRUE(std::filesystem::is_directory(server.DriveFolder() / "tmp"));
}

TEST(FarbaleCreationTest, ReadsThePeriodsWithTheHostsRounding) {
    TemporaryServer server;
    {
        Farbale defaults;
        EXPECT_EQ(defaults.TimeOutPeriod(), 300);
        EXPECT_EQ(defaults.WaitPeriod(), 30);
    }
    // What is not a 32-bit whole number gives the default.
    for (const auto& test : asp::testing::kNumberTextCases) {
        std::string text(test.text);
        bool whole = test.reading == asp::testing::NumberReading::Whole;
        server.StoreSetting("DLLOperationTimeOut", text);
        server.StoreSetting("DLLOperationWaitFor", text);
        Farbale component;
        EXPECT_EQ(component.TimeOutPeriod(), whole ? test.whole : 300) << text;
        EXPECT_EQ(component.WaitPeriod(), whole ? test.whole : 30) << text;
    }
}

TEST(FragmentTest, FormsAddressThePageItself) {
    TemporaryServer server;
    asp::Request aspRequest({}, {}, {}, {{"SCRIPT_NAME", "/tools/zip.asp"}});
    std::string sink;
    asp::Response response([&](std::string_view t) { return sink.append(t), true; });
    asp::Session session;
    asp::Server aspServer("c:\\inetpub\\wwwroot");
    asp::ScriptingContext context{aspRequest, response, session, aspServer};
    Farbale component;
    component.OnStartPage(context);
    Access::BuildFragments(component);
    EXPECT_EQ(Access::CallFormToResult(component),
              "<FORM NAME=\"frmCall\" ACTION=\"/tools/zip.asp\" TARGET=\"result\" "
              "METHOD=\"POST\">\r\n");
    std::string fields = Access::CallFieldsAndButtons(component);
    const std::string cellAndFont =
        " <TR VALIGN=\"TOP\" ALIGN=\"LEFT\" NOWRAP>\r\n"
        "  <TD VALIGN=\"TOP\" ALIGN=\"LEFT\" NOWRAP>\r\n"
        "    <FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n";
    EXPECT_TRUE(fields.ends_with(cellAndFont)) << fields;
    EXPECT_EQ(Access::HiddenOpOpen(component), "<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" VALUE=\"");
    SetCurrentContext(nullptr);
}

}  // namespace
}  // namespace vantrel
