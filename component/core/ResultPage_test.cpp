#include <gtest/gtest.h>

#include <algorithm>

#include "component/archive/FakeZipLibrary.h"
#include "component/core/OperationCall.h"
#include "component/core/PageHarness.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::testing {
namespace {

constexpr const char* kHeadAndBody =
    "<META NAME=\"Updated\" CONTENT=\"1999-12-08\">\r\n"
    "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">\r\n"
    "<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n";
constexpr const char* kReloadSource =
    "\r\n<SCRIPT LANGUAGE=\"JAVASCRIPT\">\r\n<!--\r\ntop.frames ['source'].doReload(false);\r\n";
constexpr const char* kReloadTarget = "top.frames ['target'].doReload(false);\r\n";
constexpr const char* kScriptEnd = "//-->\r\n</SCRIPT>\r\n</FONT>\r\n</BODY>\r\n</HTML>\r\n";

std::string Tail(const std::string& page) {
    size_t body = page.find(kHeadAndBody);
    return body == std::string::npos ? page : page.substr(body + std::string(kHeadAndBody).size());
}

PageRequest Call(const char* op, asp::FieldList form) {
    PageRequest request;
    request.query = {{"OP", op}};
    request.form = std::move(form);
    return request;
}

class ResultPageTest : public ::testing::Test {
  protected:
    TemporaryServer server_;
    FakeZipLibrary library_;
};

// Every call hands one record of what it did to the host, refused and failed calls included.
TEST_F(ResultPageTest, RecordsEachOperationForTheHost) {
    using O = asp::OperationOutcome;
    const asp::FieldList zip = {
        {"SL", "c:\\d\\a.txt|c:\\d\\b.txt"}, {"TP", "c:\\d\\n.zip"}, {"OS", "--5---"}};
    const asp::FieldList remove = {
        {"SP", "c:\\d\\"}, {"SL", "a.zip"}, {"ZL", "x.txt \"my file.txt\" "}, {"OS", "D--"}};
    const asp::FieldList unknown = {{"OS", "Q--"}}, empty = {{"OS", ""}};
    const std::vector<std::string> files = {"c:\\d\\a.txt", "c:\\d\\b.txt"};
    const std::vector<std::string> entries = {"x.txt", "my file.txt"};
    struct Case {
        const char* op;
        const asp::FieldList& form;
        int32_t code;
        char letter;
        const char* archive;
        std::vector<std::string> entries;
        std::optional<int32_t> status;
        O outcome;
        const char* text;
    };
    const Case cases[] = {
        {"call_zip", zip, 0, '-', "c:\\d\\n.zip", files, 0, O::Succeeded, "no errors."},
        {"call_zip", zip, -15, '-', "c:\\d\\n.zip", files, -15, O::Failed, "<B>Error:</B>"},
        {"call_unziplist", remove, 0, 'D', "c:\\d\\a.zip", entries, 0, O::Succeeded, ""},
        {"call_zip", unknown, 0, 'Q', "", {}, std::nullopt, O::Refused, "Parameter Error<P>"},
        {"call_unzip", empty, 0, '\0', "", {}, std::nullopt, O::Refused, "Parameter Error<P>"},
    };
    auto record = [](const char* op, const asp::FieldList& form) {
        std::vector<asp::OperationRecord> records;
        PageRequest request = Call(op, form);
        request.recordOperation = [&](const asp::OperationRecord& r) { records.push_back(r); };
        request.Run();
        EXPECT_EQ(records.size(), 1u) << op;
        if (records.empty()) {
            return asp::OperationRecord{};
        }
        // The host names the call alike before it runs (its start line) and when it never ran.
        asp::OperationRecord asked = AskedOperation(asp::Request(request.query, form, {}, {}));
        EXPECT_EQ(asked.letter, records[0].letter) << op;
        EXPECT_EQ(asked.archive, records[0].archive) << op;
        EXPECT_EQ(asked.target, records[0].target) << op;
        EXPECT_EQ(asked.entries, records[0].entries) << op;
        return records[0];
    };
    for (const auto& c : cases) {
        library_.codes = {c.code};
        asp::OperationRecord r = record(c.op, c.form);
        EXPECT_EQ(r.letter, c.letter);
        EXPECT_EQ(r.archive, c.archive);
        EXPECT_EQ(r.entries, c.entries);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_NE(r.text.find(c.text), std::string::npos) << r.text;
    }
    server_.StoreSetting("DisableAllZipFunctions", "1");
    asp::OperationRecord refused = record("call_zip", zip);
    EXPECT_EQ(refused.outcome, O::Refused);
    EXPECT_NE(refused.text.find("disabled by the administrator"), std::string::npos);
}

// Each call has its layout: six characters for the zip page's "-", "F" and "U", three for every
// other call and letter. Too long, or a character its position does not allow: "Parameter Error",
// nothing runs, and the frames still reload.
TEST_F(ResultPageTest, OptionStringsMustFitTheirLayout) {
    struct Case {
        const char* op;
        std::vector<const char*> fitting, misfits;
    };
    const Case cases[] = {
        {"call_zip", {"F-", "UP5SRM", "T"}, {"-Q5---", "-P5SRMM", "--5X--", "--5-r-", "T-5---"}},
        {"call_unzip", {"U--", "XP"}, {"---R", "-P5---"}},
        {"call_unziplist", {"EPR", "DP"}, {"DP5---", "E\xC3\xA9"}},
    };
    auto run = [](const char* op, const char* options, bool runs) {
        FakeZipLibrary library;
        bool result = false;
        std::string page = Call(op, {{"SP", "c:\\in\\"},
                                     {"SL", "c:\\in\\a.txt"},
                                     {"TP", "c:\\in\\"},
                                     {"ZL", "a.txt "},
                                     {"OS", options}})
                               .Run(&result);
        EXPECT_EQ(library.executes(), runs ? 1 : 0) << op << " " << options;
        if (!runs) {
            EXPECT_FALSE(result);
            EXPECT_TRUE(Tail(page).starts_with(std::string("Parameter Error<P>") + kReloadSource))
                << options;
        }
    };
    for (const auto& c : cases) {
        std::ranges::for_each(c.fitting, [&](const char* options) { run(c.op, options, true); });
        std::ranges::for_each(c.misfits, [&](const char* options) { run(c.op, options, false); });
    }
}

// Which operation runs on which archive and entries, and which frames reload. The options'
// meanings are the operations' own.
TEST_F(ResultPageTest, ChoosesTheOperationByLetter) {
    bool result = false;
    std::string zip = Call("call_zip", {{"SP", "c:\\data\\"},
                                        {"SL", "c:\\data\\a.txt|c:\\data\\b.txt"},
                                        {"TP", "c:\\out\\new"},
                                        {"OS", "U-5---"}})
                          .Run(&result);
    EXPECT_TRUE(result);
    ASSERT_EQ(library_.zipRuns.size(), 1u);
    EXPECT_EQ(library_.zipRuns[0].list, "c:\\data\\a.txt|c:\\data\\b.txt");
    // A zip that succeeded offers its archive for download beside the status.
    EXPECT_EQ(Tail(zip), std::string("Updating c:\\out\\new.zip ... .\r\n<BR>Operation complete, "
                                     "no errors. <A HREF=\"download?path=c%3A%5Cout%5Cnew.zip\" "
                                     "TITLE=\"Download the zip file\">Download</A><P>") +
                             kReloadSource + kScriptEnd);

    std::string unzip =
        Call("call_unzip",
             {{"SP", "c:\\in\\"}, {"SL", "a.zip"}, {"TP", "c:\\out\\"}, {"OS", "F--"}})
            .Run();
    ASSERT_EQ(library_.unzipRuns.size(), 1u);
    EXPECT_EQ(library_.unzipRuns[0].archive, "c:\\in\\a.zip");
    EXPECT_EQ(library_.unzipRuns[0].names, "*.*");
    EXPECT_NE(unzip.find(std::string(kReloadSource) + kReloadTarget + kScriptEnd),
              std::string::npos);

    // A test reloads only the source frame, whichever page sent it.
    std::string test = Call("call_zip", {{"SP", "c:\\in\\"}, {"SL", "a.zip"}, {"OS", "T"}}).Run();
    EXPECT_EQ(Tail(test), std::string("Testing archive file c:\\in\\a.zip ... .\r\n<BR>Complete, "
                                      "no errors found.<P>") +
                              kReloadSource + kScriptEnd);
    std::string unzipTest =
        Call("call_unzip", {{"SP", "c:\\in\\"}, {"SL", "a.zip"}, {"OS", "T--"}}).Run();
    EXPECT_EQ(unzipTest.find(kReloadTarget), std::string::npos);
}

// The delete's options become the zip layout: "DP-" deletes with the password ("DP5---").
TEST_F(ResultPageTest, EntryListsUseForwardSlashesAndDeleteRewritesOptions) {
    Call("call_unziplist", {{"SP", "c:\\in\\"},
                            {"SL", "a.zip"},
                            {"TP", "c:\\out\\"},
                            {"ZL", "dir\\sub\\x.txt \"my file.txt\" "},
                            {"OS", "EP-"}})
        .Run();
    ASSERT_EQ(library_.unzipRuns.size(), 1u);
    EXPECT_EQ(library_.unzipRuns[0].names, "dir/sub/x.txt \"my file.txt\"");

    Call("call_unziplist",
         {{"SP", "c:\\in\\"}, {"SL", "a.zip"}, {"ZL", "d\\x.txt"}, {"PW", "pw"}, {"OS", "DP-"}})
        .Run();
    ASSERT_EQ(library_.zipRuns.size(), 1u);
    EXPECT_EQ(library_.zipRuns[0].archive, "c:\\in\\a.zip");
    EXPECT_EQ(library_.zipRuns[0].list, "d/x.txt");
    EXPECT_EQ(library_.zipRuns[0].action, LSZIP_DELETE);
    EXPECT_EQ(library_.zipRuns[0].flags, LSZIP_FLAG_BASE + LSZIP_FLAG_ENCRYPT);
}

TEST_F(ResultPageTest, DebugEchoFollowsTheScript) {
    PageRequest request = Call("call_zip", {{"OS", "Q"}});
    request.debug = true;
    std::string page = request.Run();
    EXPECT_NE(page.find("</SCRIPT>\r\n<P>Operation is: call_zip<BR>"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::testing
