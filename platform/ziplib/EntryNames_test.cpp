// Entry-name lists and the safety check of extracted names.
#include <gtest/gtest.h>

#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/SafeEntryPath.h"

namespace vantrel::ziplib {
namespace {

struct MatchCase {
    const char* list;
    const char* name;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* out) {
    *out << c.list << " ~ " << c.name;
}

class EntryNameMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(EntryNameMatching, FollowsWindowsRules) {
    auto list = EntryNameList::Parse(GetParam().list);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Matches(GetParam().name), GetParam().matches)
        << GetParam().list << " / " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, EntryNameMatching,
    ::testing::Values(MatchCase{"*.*", "a.txt", true}, MatchCase{"*.*", "noext", true},
                      MatchCase{"*.*", "dir/sub/x", true}, MatchCase{"A.TXT", "a.txt", true},
                      MatchCase{"a.txt", "dir/a.txt", false}, MatchCase{"dir\\*.*", "dir/", true},
                      MatchCase{"dir\\*.*", "dir/sub/x.bin", true},
                      MatchCase{"dir/*.*", "dirt/x", false},
                      MatchCase{"docs\\a.txt", "docs/a.txt", true},
                      MatchCase{"\"my file.txt\" other", "my file.txt", true},
                      MatchCase{"\"my file.txt\" other", "other", true},
                      MatchCase{"\"my file.txt\" other", "my", false},
                      MatchCase{"?.txt", "ab.txt", false}, MatchCase{"", "a", false},
                      // Unicode case, and "?" for one character of any length in bytes.
                      MatchCase{"PRIV\xC3\x89\\*.*", "priv\xC3\xA9/x", true},
                      MatchCase{"?.txt", "\xCF\x82.txt", true},
                      MatchCase{"\xCE\xA3.TXT", "\xCF\x82.txt", true}));

TEST(SafeEntrySegments, RefusesNamesThatLeaveTheTarget) {
    for (const char* name : {"../x", "a/../../x", "..", "/etc/passwd", "\\x", "c:x", "c:/x",
                             "Z:", "a\\..\\..\\x", "", "./", "/"}) {
        EXPECT_FALSE(SafeEntrySegments(name)) << name;
    }
    EXPECT_EQ(*SafeEntrySegments("a/./b//c.txt"), (std::vector<std::string>{"a", "b", "c.txt"}));
    EXPECT_EQ(*SafeEntrySegments("dir\\sub\\"), (std::vector<std::string>{"dir", "sub"}));
    EXPECT_EQ(*SafeEntrySegments("..a/b.."), (std::vector<std::string>{"..a", "b.."}));
}

// Names differing in case alone are tried through the C interface (LinuxNames); here the entries
// literally named with wildcard characters, which are matched exactly too.
TEST(EntryNameListTest, ExactNamesWinOverWildcards) {
    auto literal = EntryNameList::Parse("a*.txt \"b?.txt\" *.BIN");
    literal->PreferExactNames({"a*.txt", "ab.txt", "b?.txt", "bc.txt", "x.bin"});
    for (const char* name : {"ab.txt", "bc.txt", "A*.TXT"}) {
        EXPECT_FALSE(literal->Matches(name)) << name;
    }
    EXPECT_TRUE(literal->Matches("a*.txt"));
    EXPECT_TRUE(literal->Matches("x.bin"));  // wildcards still ignore case
}

}  // namespace
}  // namespace vantrel::ziplib
