#include <gtest/gtest.h>

#include "component/archive/FakeZipLibrary.h"
#include "component/archive/OperationHarness.h"

namespace vantrel::testing {
namespace {

TEST(UnzipOperationTest, MapsOptionsToActionFlagsNamesAndPassword) {
    struct Case {
        const char* options;
        const char* target;
        int32_t action, flags;
        const char* names;
        const char* targetSet;
        const char* passwordSet;
    };
    const Case cases[] = {
        {"T--", "c:\\out\\", 4, 1, "*.*", "unset", "unset"},
        {"TP-", "c:\\out\\", 4, 1, "*.*", "unset", "pw"},
        {"--R", "c:\\out\\", 3, 51, "a.txt", "c:\\out", "unset"},
        {"-P-", "c:\\out", 3, 3, "a.txt", "c:\\out", "pw"},
        {"-", "c:\\out\\", 3, 3, "a.txt", "c:\\out", "pw"},
        {"-P", "\\", 3, 3, "a.txt", "\\", "pw"},
        {"F--", "c:\\out\\", 3, 11, "a.txt", "c:\\out", "unset"},
        {"U-R", "c:\\out\\", 3, 55, "a.txt", "c:\\out", "unset"},
        {"EPR", "c:\\out\\", 3, 51, "a.txt", "c:\\out", "pw"},
    };
    for (const auto& c : cases) {
        FakeZipLibrary library;
        OperationRequest request;
        EXPECT_TRUE(request.Unzip("c:\\in\\a.zip", c.target, "a.txt", "pw", c.options))
            << c.options << request.output;
        ASSERT_EQ(library.unzipRuns.size(), 1u) << c.options;
        const auto& run = library.unzipRuns[0];
        EXPECT_EQ(run.archive, "c:\\in\\a.zip");
        EXPECT_EQ(run.action, c.action) << c.options;
        EXPECT_EQ(run.flags, c.flags) << c.options;
        EXPECT_EQ(run.names, c.names) << c.options;
        EXPECT_EQ(run.target, c.targetSet) << c.options;
        EXPECT_EQ(run.password, c.passwordSet) << c.options;
        EXPECT_TRUE(run.callbackSet);
        EXPECT_TRUE(request.LockFiles().empty());
    }
}

// The progress lines of a sound test and extraction are seen in the browser.
TEST(UnzipOperationTest, WritesProgressLineAndOutcome) {
    ExpectOutcomes(
        {
            {"T--", -15,
             "Testing archive file c:\\a.zip ... .\r\n<BR><B>Error:</B> CRC-32 error.<P>"},
            {"-P-", -61,
             "Extracting from c:\\a.zip ... .\r\n<BR><B>Error:</B> Bad or missing decryption "
             "key.<P>"},
        },
        [](OperationRequest& request, const char* options) {
            return request.Unzip("c:\\a.zip", "c:\\out\\", "*.*", "pw", options);
        });
}

// Refusals end the operation before the queue and the library.
TEST(UnzipOperationTest, RefusalsTouchNothing) {
    struct Case {
        const char* setting;
        const char* value;
        const char* target;
        const char* options;
        const char* expected;
    };
    const Case cases[] = {
        {"DisableAllUnzipFunctions", "1", "c:\\out", "",
         "<B>All Unzip Functions have been disabled by the administrator.</B></P>"},
        {"", "", "c:\\out", "", "Parameter Error<BR>\r\n"},
        {"ExcludedFilePathList", "\\windows\\", "c:\\out\\..\\windows", "U--",
         "<B>The selected file path has been disabled by the administrator.</B></P>"},
        {"IncludedFilePathList", "\\out\\", "c:\\out\\..\\..\\x\\out\\", "---",
         "<B>The selected file path has been disabled by the administrator.</B></P>"},
    };
    for (const auto& c : cases) {
        FakeZipLibrary library;
        OperationRequest request;
        if (*c.setting) {
            request.server.StoreSetting(c.setting, c.value);
        }
        EXPECT_FALSE(request.Unzip("c:\\in\\a.zip", c.target, "*.*", "", c.options)) << c.target;
        EXPECT_EQ(request.output, c.expected) << c.target;
        EXPECT_EQ(library.executes(), 0);
        EXPECT_TRUE(request.LockFiles().empty());
    }
}

TEST(UnzipOperationTest, TestIgnoresThePathPolicy) {
    FakeZipLibrary library;
    OperationRequest request;
    request.server.StoreSetting("ExcludedFilePathList", "\\in\\");
    EXPECT_TRUE(request.Unzip("c:\\in\\a.zip", "c:\\in\\", "x", "", "T--"));
    EXPECT_EQ(library.executes(), 1);
}

// A refusal stops the run whichever setter it comes from; two of them stand for the rest.
TEST(UnzipOperationTest, SetterRefusalsGiveTheirMessages) {
    ExpectSetterRefusals(
        {
            {"zipName", "<B>Error:</B> Failed to set name of zip archive."},
            {"extractTo", "<B>Error:</B> Failed to set path for extracted files."},
        },
        "Extracting from c:\\a.zip ... <BR>", [](OperationRequest& request) {
            return request.Unzip("c:\\a.zip", "c:\\out", "*.*", "pw", "-P-");
        });
}

}  // namespace
}  // namespace vantrel::testing
