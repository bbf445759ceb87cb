#include <gtest/gtest.h>

#include <string>

#include "component/policy/PolicyHarness.h"

namespace vantrel::testing {
namespace {

constexpr const char* kRefusal =
    "<B>The selected file path has been disabled by the administrator.</B></P>";

TEST(MatchPathListTest, DecidesAndWritesOnlyTheRefusal) {
    constexpr auto kExclude = PathListMode::Exclude;
    constexpr auto kInclude = PathListMode::Include;
    struct Case {
        const char* list;
        PathListMode mode;
        const char* path;  // lower case, as CheckPathAccess hands it over
        bool allowed;
    } cases[] = {
        {"", kInclude, "c:\\x", true},
        {"", kExclude, "c:\\x", true},
        {"q", kInclude, "c:\\x", true},         // one character is an empty list
        {"\xC3\xA9", kInclude, "c:\\x", true},  // so is one letter of two bytes
        {";\xC3\xA9;", kInclude, "c:\\x", true},
        {";;;", kInclude, "c:\\x", true},
        {";q;", kInclude, "c:\\x", true},
        {"\\winnt\\;\\windows\\", kExclude, "c:\\winnt\\system32\\a.txt", false},
        {"\\winnt\\;\\windows\\", kExclude, "c:\\data\\a.txt", true},
        {"\\wwwroot\\;\\ftproot\\", kInclude, "d:\\inetpub\\ftproot\\x.zip", true},
        {"\\wwwroot\\;\\ftproot\\", kInclude, "d:\\data\\x.zip", false},
        {";;\\wwwroot\\;", kInclude, "d:\\inetpub\\wwwroot\\x.zip", true},
        {";;\\wwwroot\\;", kInclude, "d:\\x.zip", false},
        {"\\WWWROOT\\", kInclude, "d:\\inetpub\\wwwroot\\x", true},
        {"  \\a\\ ;  \\wwwroot\\  ", kInclude, "c:\\wwwroot\\x", true},
        {"\\a\\; ;\\b\\", kExclude, "c:\\x", false},  // an empty entry matches everything
        {"\\a\\; ;\\b\\", kInclude, "c:\\x", true},
        {"\\a\\;end", kInclude, "c:\\backend\\x", true},  // "end" is an ordinary entry
        {"\\a\\", kInclude, "c:\\backend\\x", false},
        {".mdb", kExclude, "c:\\db\\shop.mdb", false},
    };
    TemporaryServer server;
    for (const Case& c : cases) {
        PolicyRequest request;
        bool allowed = PolicyAccess::MatchPathList(request.component, c.path, c.list, c.mode);
        EXPECT_EQ(allowed, c.allowed) << c.list << " " << c.path;
        EXPECT_EQ(request.output, allowed ? "" : kRefusal) << c.list << " " << c.path;
    }
}

class PathPolicyTest : public ::testing::Test {
  protected:
    bool Check(const std::string& path, bool debug = false) {
        PolicyRequest request(debug);
        bool allowed = PolicyAccess::CheckPathAccess(request.component, path);
        output_ = request.output;
        return allowed;
    }
    void Lists(const std::string& excluded, const std::string& included) {
        server_.StoreSetting("ExcludedFilePathList", excluded);
        server_.StoreSetting("IncludedFilePathList", included);
    }

    TemporaryServer server_;
    std::string output_;
};

TEST_F(PathPolicyTest, MissingOrBlankListsPassEverythingSilently) {
    EXPECT_TRUE(Check("c:\\windows\\system32\\x.dll"));
    EXPECT_EQ(output_, "");
    Lists(" ", " ");
    EXPECT_TRUE(Check("c:\\windows\\system32\\x.dll", true));
    EXPECT_EQ(output_, "");
}

TEST_F(PathPolicyTest, ExcludeBeatsIncludeAndRefusesOnce) {
    Lists("\\secret\\", "\\wwwroot\\");
    EXPECT_FALSE(Check("C:\\Inetpub\\WWWROOT\\Secret\\a.txt"));
    EXPECT_EQ(output_, kRefusal);
}

TEST_F(PathPolicyTest, DebugLinesNameTheEntryOrThePath) {
    Lists("\\winnt\\", "\\wwwroot\\");
    EXPECT_TRUE(Check("c:\\inetpub\\wwwroot\\a.zip", true));
    EXPECT_EQ(output_, "'Include' paths test: passed with \\wwwroot\\<BR>\r\n");
    EXPECT_FALSE(Check("c:\\winnt\\a.zip", true));
    EXPECT_EQ(output_,
              std::string("'Exclude' paths test: failed with \\winnt\\<BR>\r\n") + kRefusal);
    EXPECT_FALSE(Check("c:\\data\\..\\x<y>.zip", true));
    EXPECT_EQ(
        output_,
        std::string("No paths matched 'Include' list for c:\\x&lt;y&gt;.zip<BR>\r\n") + kRefusal);
}

// Exclude \windows\ and \secret\, include \wwwroot\ and \ftproot\.
TEST_F(PathPolicyTest, TestsThePathsTheOperationTouches) {
    Lists("\\windows\\;\\secret\\", "\\wwwroot\\;\\ftproot\\");
    const std::pair<const char*, bool> cases[] = {
        {"c:\\inetpub\\wwwroot\\a.zip", true},
        {"c:\\inetpub\\wwwroot\\..\\..\\windows\\x", false},
        {"c:\\inetpub\\wwwroot\\..\\data\\x", false},
        {"C:\\Inetpub\\\\wwwroot\\.\\\\a.zip", true},
        {"c:\\wwwroot\\\\secret\\\\a", false},
        {"c:/inetpub/wwwroot/../../windows/x", false},
        {"c:\\inetpub\\wwwroot\\..\\..\\..\\wwwroot\\x", false},  // above the root
        {"c:..\\wwwroot\\x", false},
        {"d:\\inetpub\\wwwroot\\", true},
        {"c:\\inetpub\\wwwroot\\*.htm", true},
        {"c:\\inetpub\\wwwroot\\a.txt|c:\\ftproot\\b.txt", true},
        {"c:\\inetpub\\wwwroot\\a.txt|c:\\data\\b.txt", false},
        {"c:\\wwwroot\\a.txt|c:\\wwwroot\\secret\\b.txt", false},
        {"c:\\wwwroot\\a|c:\\wwwroot\\..\\..\\b", false},
        {"|c:\\wwwroot\\a| |c:\\ftproot\\b|", true},
        {"*.*", false},  // an entry list, without an included entry
        {"\\wwwroot\\..\\secrets.txt", false},
    };
    for (const auto& [path, allowed] : cases) {
        EXPECT_EQ(Check(path), allowed) << path;
        EXPECT_EQ(output_, allowed ? "" : kRefusal) << path;
    }
}

// Letter case is Unicode case, folded the same on both sides; Turkish dotted and dotless I keep
// their default folding (İ and ı are letters of their own).
TEST_F(PathPolicyTest, LetterCaseBeyondAsciiNeverMatters) {
    Lists("\\priv\xC3\xA9\\;\\\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1\\;\\istanbul\\", "");
    const std::pair<const char*, bool> cases[] = {
        {"C:\\inetpub\\wwwroot\\PRIV\xC3\x89\\x.txt", false},  // PRIVÉ
        {"c:\\inetpub\\wwwroot\\private\\x.txt", true},
        {"c:\\\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91\\x.txt", false},  // ΣΟΦΊΑ
        {"c:\\\xC4\xB0STANBUL\\x.txt", true},                            // İ
        {"c:\\\xC4\xB1stanbul\\x.txt", true},                            // ı
    };
    for (const auto& [path, allowed] : cases) {
        EXPECT_EQ(Check(path), allowed) << path;
    }
}

TEST_F(PathPolicyTest, ClimbingAboveTheRootIsRefusedEvenWithoutLists) {
    EXPECT_FALSE(Check("c:\\inetpub\\..\\..\\boot.ini"));
    EXPECT_EQ(output_, kRefusal);
}

TEST_F(PathPolicyTest, JoinedListIsTestedMemberByMemberInDebugMode) {
    Lists("", "\\wwwroot\\");
    EXPECT_FALSE(Check("c:\\wwwroot\\a|c:\\data\\b", true));
    EXPECT_EQ(output_, std::string("'Include' paths test: passed with \\wwwroot\\<BR>\r\n"
                                   "No paths matched 'Include' list for c:\\data\\b<BR>\r\n") +
                           kRefusal);
}

}  // namespace
}  // namespace vantrel::testing
