#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "component/archive/FakeZipLibrary.h"
#include "component/archive/OperationHarness.h"
#include "component/archive/ZipLibrary.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kExtract = LSUZ_FLAG_EXTRACT;

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
        {"T--", "c:\\out\\", LSUZ_TEST, LSUZ_FLAG_TEST, "*.*", "unset", "unset"},
        {"TP-", "c:\\out\\", LSUZ_TEST, LSUZ_FLAG_TEST, "*.*", "unset", "pw"},
        {"--R", "c:\\out\\", LSUZ_EXTRACT, kExtract + LSUZ_FLAG_NO_FOLDERS, "a.txt", "c:\\out",
         "unset"},
        {"-P-", "c:\\out", LSUZ_EXTRACT, kExtract, "a.txt", "c:\\out", "pw"},
        {"-", "c:\\out\\", LSUZ_EXTRACT, kExtract, "a.txt", "c:\\out", "pw"},
        {"-P", "\\", LSUZ_EXTRACT, kExtract, "a.txt", "\\", "pw"},
        {"F--", "c:\\out\\", LSUZ_EXTRACT, kExtract + LSUZ_FLAG_FRESHEN, "a.txt", "c:\\out",
         "unset"},
        {"U-R", "c:\\out\\", LSUZ_EXTRACT, kExtract + LSUZ_FLAG_UPDATE + LSUZ_FLAG_NO_FOLDERS,
         "a.txt", "c:\\out", "unset"},
        {"EPR", "c:\\out\\", LSUZ_EXTRACT, kExtract + LSUZ_FLAG_NO_FOLDERS, "a.txt", "c:\\out",
         "pw"},
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

// An archive is tested and listed only where the path policy allows it, judged by its name and
// where it really lies; the answer for a refused place is the same whether an archive, another
// file or nothing lies there.
TEST(UnzipOperationTest, TestAndListingObeyThePolicyWhereTheArchiveReallyLies) {
    OperationRequest request;
    const fs::path c = request.server.DriveFolder();
    fs::create_directories(c / "outside");
    std::ofstream(c / "outside" / "a.txt") << "outside";
    lszip::LSZIP_SETPATHCHECK(nullptr);
    ASSERT_NE(lszip::LSZIP_INCLUDE("c:\\outside\\a.txt"), 0);
    ASSERT_EQ(lszip::LSZIP_EXECUTE("c:\\outside\\real.zip", LSZIP_ADD, 6, LSZIP_FLAG_BASE), 0);
    fs::copy_file(c / "outside" / "real.zip", c / "inetpub" / "wwwroot" / "inside.zip");
    std::ofstream(c / "outside" / "junk.zip") << "no archive";
    for (const char* name : {"real.zip", "junk.zip", "gone.zip"}) {
        fs::create_symlink(fs::path("../../outside") / name, c / "inetpub" / "wwwroot" / name);
    }
    request.server.StoreSetting("IncludedFilePathList", "\\wwwroot\\");
    auto tested = [&](const std::string& path) {
        request.Bind();  // a page of the listing took the thread's context
        request.output.clear();
        request.Unzip(path, "", "", "", "T--");
        return request.output;
    };
    auto listed = [](const std::string& path) {
        PageRequest page;
        page.query = {{"OP", "unziplist"}, {"ZN", path}};
        std::string text = page.Run();
        size_t failure = text.find("file contents:<OPTION>");
        return failure == std::string::npos
                   ? "(listed)"
                   : text.substr(failure, text.find('\r', failure) - failure);
    };
    const std::string refusal =
        "<B>The selected file path has been disabled by the administrator.</B></P>";
    EXPECT_NE(tested("c:\\inetpub\\wwwroot\\inside.zip").find("Complete, no errors found."),
              std::string::npos);
    EXPECT_EQ(listed("c:\\inetpub\\wwwroot\\inside.zip"), "(listed)");
    for (std::string folder :
         {"c:\\inetpub\\wwwroot\\", "c:\\inetpub\\wwwroot\\..\\..\\outside\\"}) {
        const std::string nothing = tested(folder + "gone.zip");
        EXPECT_NE(nothing.find(refusal), std::string::npos) << nothing;
        for (std::string name : {"real", "junk", "gone"}) {
            std::string answer = tested(folder + name + ".zip");
            for (size_t at = 0; (at = answer.find(name + ".zip", at)) != std::string::npos;
                 at += 4) {
                answer.replace(at, name.size(), "gone");
            }
            EXPECT_EQ(answer, nothing) << folder << name;
            EXPECT_EQ(listed(folder + name + ".zip"), "file contents:<OPTION>" + refusal)
                << folder << name;
        }
    }
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
