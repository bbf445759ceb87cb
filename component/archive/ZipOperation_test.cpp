#include <gtest/gtest.h>

#include <cerrno>

#include "component/archive/FakeZipLibrary.h"
#include "component/archive/ListingTestLibrary.h"
#include "component/archive/OperationHarness.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::testing {
namespace {

constexpr int32_t kBase = LSZIP_FLAG_BASE;

// How the option string, the password and the archive name reach the library.
TEST(ZipOperationTest, MapsOptionsToActionLevelFlagsAndPassword) {
    struct Case {
        const char* options;
        const char* password;
        int32_t action, level, flags;
        const char* passwordSet;
    };
    const Case cases[] = {
        {"-P5SRM", "", LSZIP_ADD, 5,
         kBase + LSZIP_FLAG_RECURSE + LSZIP_FLAG_MOVE + LSZIP_FLAG_FULL_PATHS, "unset"},
        {"UP9---", "secret", LSZIP_UPDATE, 9, kBase + LSZIP_FLAG_ENCRYPT, "secret"},
        {"F-0S--", "secret", LSZIP_FRESHEN, 0, kBase + LSZIP_FLAG_FULL_PATHS, "unset"},
        {"-", "secret", LSZIP_ADD, 5, kBase, "secret"},  // too short for the "P" test
        {"F", "", LSZIP_FRESHEN, 5, kBase, "unset"},
        {"--7SR", "", LSZIP_ADD, 7, kBase, "unset"},  // positions 4 to 6 need six characters
        {"", "", LSZIP_ADD, 5, kBase, "unset"},
        {"X-5---", "", LSZIP_REPAIR, 5, kBase, "unset"},
        {"DP5---", "pw", LSZIP_DELETE, 5, kBase + LSZIP_FLAG_ENCRYPT, "pw"},
    };
    for (const auto& c : cases) {
        FakeZipLibrary library;
        OperationRequest request;
        EXPECT_TRUE(request.Zip("c:\\data\\out.zip", "c:\\data\\a.txt", c.password, c.options))
            << c.options << request.output;
        ASSERT_EQ(library.zipRuns.size(), 1u) << c.options;
        const auto& run = library.zipRuns[0];
        EXPECT_EQ(run.action, c.action) << c.options;
        EXPECT_EQ(run.level, c.level) << c.options;
        EXPECT_EQ(run.flags, c.flags) << c.options;
        EXPECT_EQ(run.password, c.passwordSet) << c.options;
        EXPECT_EQ(run.tempPath, "c:\\temp\\") << c.options;
        EXPECT_EQ(run.list, c.action == LSZIP_REPAIR ? "unset" : "c:\\data\\a.txt") << c.options;
        EXPECT_TRUE(run.callbackSet);
        EXPECT_TRUE(request.LockFiles().empty()) << "the slot is freed";
    }
}

TEST(ZipOperationTest, AppendsZipExtensionUnlessPresent) {
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\data\\backup", "c:\\data\\backup.zip"},
        {"C:\\DATA\\B.ZIP", "C:\\DATA\\B.ZIP"},
        {"c:\\x.zi", "c:\\x.zi.zip"},
    };
    for (const auto& [given, expected] : cases) {
        FakeZipLibrary library;
        OperationRequest request;
        request.Zip(given, "c:\\a.txt", "", "--5---");
        ASSERT_EQ(library.zipRuns.size(), 1u);
        EXPECT_EQ(library.zipRuns[0].archive, expected);
    }
}

// The flags' refusals themselves are seen in the browser; only exactly "1" switches a flag on,
// and the encryption flag matters only with a password. The archive is tested as the name it
// writes, with its extension.
TEST(ZipOperationTest, FlagsAreExactlyOneAndThePolicyTestsTheArchiveWithItsExtension) {
    FakeZipLibrary library;
    OperationRequest request;
    request.server.StoreSetting("DisableAllZipFunctions", "yes");
    request.server.StoreSetting("DisableEncryptZipFiles", "1");
    EXPECT_TRUE(request.Zip("c:\\data\\out.zip", "c:\\data\\a.txt", "", "-P5---"));
    request.server.StoreSetting("ExcludedFilePathList", "secret.zip");
    EXPECT_FALSE(request.Zip("c:\\data\\secret", "c:\\data\\a.txt", "", "--5---"));
    EXPECT_EQ(library.executes(), 1);
}

// The entry list of a delete or a repair is no path; the archive itself is tested.
TEST(ZipOperationTest, EntryListsOfDeleteAndRepairAreNotTestedAsPaths) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"c:\\inetpub\\wwwroot\\a.zip", "D-5---", true},
        {"c:\\inetpub\\wwwroot\\a.zip", "X-5---", true},
        {"c:\\elsewhere\\a.zip", "X-5---", false}};
    for (const auto& [archive, options, allowed] : cases) {
        FakeZipLibrary library;
        OperationRequest request;
        request.server.StoreSetting("IncludedFilePathList", "\\wwwroot\\");
        EXPECT_EQ(request.Zip(archive, "*.* ", "", options), allowed) << archive << options;
        EXPECT_EQ(library.executes(), allowed ? 1 : 0) << archive << options;
    }
}

// A delete meets the exclude list with every entry that it would remove, found in the archive with
// the library's own rules: by name, by wildcard, through a folder entry, in any letter case.
TEST(ZipOperationTest, ExcludedEntriesCannotBeDeleted) {
    // Names, patterns and folders of the archive are seen in the browser; here the odd cases.
    const std::pair<const char*, bool> cases[] = {
        {"WEB.CONFIG ", false},
        {"a*.txt ", true},
        {"\"my file.txt\" ", true},
        {"nothing.txt ", true},
    };
    for (const auto& [entries, allowed] : cases) {
        FakeZipLibrary library;
        ListingTestLibrary listing;
        // "a*.txt" is an entry's own name: it means that entry alone, not "ab.txt".
        listing.entries = {{"web.config"},  {"conf/"},  {"conf/web.config"}, {"conf/app.txt"},
                           {"my file.txt"}, {"a*.txt"}, {"ab.txt"},          {"secret/x.txt"}};
        OperationRequest request;
        request.server.StoreSetting("ExcludedFilePathList", "web.config;\\secret\\;ab.txt");
        EXPECT_EQ(request.Zip("c:\\data\\a.zip", entries, "", "D-5---"), allowed) << entries;
        EXPECT_EQ(library.executes(), allowed ? 1 : 0) << entries;
        if (!allowed) {
            EXPECT_EQ(request.output,
                      "<B>The selected file path has been disabled by the administrator.</B></P>");
        }
        EXPECT_TRUE(request.LockFiles().empty());
    }
    // Without an archive to look into, nothing is deleted.
    FakeZipLibrary library;
    ListingTestLibrary listing;
    listing.countResult = -2;
    OperationRequest request;
    request.server.StoreSetting("ExcludedFilePathList", "web.config");
    EXPECT_FALSE(request.Zip("c:\\data\\a.zip", "x.txt ", "", "D-5---"));
    EXPECT_TRUE(request.output.starts_with("<B>Error:</B> ")) << request.output;
    EXPECT_EQ(library.executes(), 0);
}

TEST(ZipOperationTest, ProgressLineAndStatusTextForEachOutcome) {
    ExpectOutcomes(
        {
            {"F-5---", -168, "Updating c:\\o.zip ... .\r\n<BR><B>Error:</B>Nothing to do.<P>"},
            // A move that failed says that it deleted nothing.
            {"--5--M", -9,
             "Creating c:\\o.zip ... .\r\n<BR><B>Error:</B>Open file error. No original file was "
             "deleted.<P>"},
        },
        [](OperationRequest& request, const char* options) {
            bool ok = request.Zip("c:\\o.zip", "a.txt", "", options);
            EXPECT_TRUE(request.LockFiles().empty());
            return ok;
        });
}

// A refusal stops the run whichever setter it comes from; two of them stand for the rest.
TEST(ZipOperationTest, SetterRefusalsGiveTheirMessages) {
    ExpectSetterRefusals(
        {
            {"include", "<B>Error:</B> Failed to set list of files to include."},
            {"callback", "<B>Error:</B> Failed to set 'progress' callback function."},
        },
        "Creating c:\\o.zip ... <BR>",
        [](OperationRequest& request) { return request.Zip("c:\\o.zip", "a.txt", "pw", "-"); });
}

// The harder fix runs only after a failed first attempt, inside the same zip slot. (A harder fix
// that fails too is seen in the browser.)
TEST(ZipOperationTest, RepairRetriesWithTheHarderFixInTheSameSlot) {
    struct Case {
        std::vector<int32_t> codes;
        bool ok;
        const char* expected;
    };
    const Case cases[] = {
        {{0}, true, "Trying to repair c:\\d.zip ... .\r\n<BR>Operation complete, no errors.<P>"},
        {{-51, 0},
         true,
         "Trying to repair c:\\d.zip ... .\r\n<BR>Applying harder fix operation ...<BR>.\r\n"
         "<BR><B>Successfully repaired file c:\\d.zip</B><P>"},
    };
    for (const auto& c : cases) {
        FakeZipLibrary library;
        library.codes = c.codes;
        OperationRequest request;
        std::vector<size_t> locksDuringRuns;
        library.duringExecute = [&] { locksDuringRuns.push_back(request.LockFiles().size()); };
        EXPECT_EQ(request.Zip("c:\\d.zip", "*.*", "", "X-5---"), c.ok);
        EXPECT_EQ(request.output, c.expected);
        ASSERT_EQ(library.zipRuns.size(), c.codes.size());
        EXPECT_EQ(library.zipRuns.back().flags,
                  c.codes.size() == 2 ? kBase + LSZIP_FLAG_HARDER_REPAIR : kBase);
        EXPECT_EQ(locksDuringRuns, std::vector<size_t>(c.codes.size(), 1u));
        EXPECT_TRUE(request.LockFiles().empty());
    }
}

TEST(ZipOperationTest, MissingLibraryIsReportedAndFreesTheSlot) {
    ZipSideCalls broken;
    broken.setTempPath = [](const std::string&) -> int32_t {
        throw std::runtime_error("The compression library liblspzipx.so cannot be loaded (x).");
    };
    UseZipSideCallsForTests(broken);
    OperationRequest request;
    EXPECT_FALSE(request.Zip("c:\\a.zip", "c:\\<b>.txt", "", "--5---"));
    UseZipSideCallsForTests(std::nullopt);
    EXPECT_EQ(request.output,
              "Creating c:\\a.zip ... <BR><B>Error:</B> The compression library liblspzipx.so "
              "cannot be loaded (x).<P>");
    EXPECT_TRUE(request.LockFiles().empty());
}

// The library asks about real locations while it works: the policy answers for where a name
// really leads, and every file it leaves out is named in the page.
TEST(ZipOperationTest, AnswersTheLibrarysQuestionsWithThePolicyAndNamesWhatItLeftOut) {
    FakeZipLibrary library;
    std::vector<int32_t> answers;
    library.duringExecute = [&] {
        answers.push_back(library.check("c:\\wwwroot\\a.txt"));
        answers.push_back(library.check("c:\\Windows\\<b>.txt"));
        errno = EACCES;  // how the library tells that the file system refused
        library.report(-9, "c:\\wwwroot\\<i>.txt");
    };
    library.codes = {-152};
    OperationRequest request;
    request.server.StoreSetting("ExcludedFilePathList", "\\windows\\");
    EXPECT_FALSE(request.Zip("c:\\wwwroot\\x.zip", "c:\\wwwroot\\*.*", "", "-"));
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(request.output,
              "Creating c:\\wwwroot\\x.zip ... .\r\n"
              "<B>The selected file path has been disabled by the administrator.</B></P>"
              "c:\\Windows\\&lt;b&gt;.txt<BR>\r\n"
              "<BR>Open file error. Permission denied: c:\\wwwroot\\&lt;i&gt;.txt\r\n"
              "<BR><B>Error:</B>Invalid file specification.<P>");
    EXPECT_EQ(LocationCheck("c:\\wwwroot\\a.txt"), 0) << "no operation, no answer but no";
}

}  // namespace
}  // namespace vantrel::testing
