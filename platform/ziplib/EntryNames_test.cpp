// Entry-name lists, the safety check of extracted names, and the progress rate limit.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ziplib/EntryNameList.h"
#include "platform/ziplib/ProgressTicker.h"
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

TEST(EntryNameList, AnUnclosedQuoteCannotBeRead) {
    EXPECT_FALSE(EntryNameList::Parse("a \"b c"));
    EXPECT_EQ(EntryNameList::Parse("  a   b  \"c d\" ")->Size(), 3u);
}

TEST(EntryNameList, MarksEveryPatternThatMatched) {
    auto list = EntryNameList::Parse("*.txt a.txt none");
    std::vector<bool> used(3, false);
    EXPECT_TRUE(list->Matches("a.txt", &used));
    EXPECT_EQ(used, (std::vector<bool>{true, true, false}));
}

TEST(SafeEntrySegments, RefusesNamesThatLeaveTheTarget) {
    for (const char* name : {"../x", "a/../../x", "..", "/etc/passwd", "\\x", "c:x", "c:/x",
                             "Z:", "a\\..\\..\\x", "", "./", "/"}) {
        EXPECT_FALSE(SafeEntrySegments(name)) << name;
    }
    EXPECT_EQ(*SafeEntrySegments("a/./b//c.txt"), (std::vector<std::string>{"a", "b", "c.txt"}));
    EXPECT_EQ(*SafeEntrySegments("dir\\sub\\"), (std::vector<std::string>{"dir", "sub"}));
    EXPECT_EQ(*SafeEntrySegments("..a/b.."), (std::vector<std::string>{"..a", "b.."}));
    // A colon elsewhere is an ordinary Linux name: Perl's manual pages are named so.
    EXPECT_EQ(*SafeEntrySegments("man3/File::Spec.3perl.gz"),
              (std::vector<std::string>{"man3", "File::Spec.3perl.gz"}));
    EXPECT_EQ(*SafeEntrySegments("a/b:c"), (std::vector<std::string>{"a", "b:c"}));
    EXPECT_EQ(*SafeEntrySegments("ab:c"), (std::vector<std::string>{"ab:c"}));
}

std::atomic<int> g_calls = 0;
int32_t Count(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return ++g_calls, 0;
}
int32_t Stop(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return ++g_calls, 1;
}

TEST(ProgressTicker, CallsOnceAtTheStartThenOncePerInterval) {
    g_calls = 0;
    ProgressTicker ticker(Count, std::chrono::milliseconds(50));
    for (int i = 0; i < 50000; ++i) {
        EXPECT_TRUE(ticker.Tick(i, 50000));
    }
    EXPECT_EQ(g_calls.load(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ticker.Tick(1, 2);
    EXPECT_EQ(g_calls.load(), 2);
}

TEST(EntryNameListTest, ExactNamesWinOverNamesDifferingInCase) {
    auto names = EntryNameList::Parse("a.txt *.BIN other.txt");
    ASSERT_TRUE(names);
    names->PreferExactNames({"a.txt", "A.txt", "x.bin", "OTHER.TXT"});
    EXPECT_TRUE(names->Matches("a.txt"));
    EXPECT_FALSE(names->Matches("A.txt"));
    // An entry literally named with wildcard characters is matched exactly too.
    auto literal = EntryNameList::Parse("a*.txt \"b?.txt\"");
    literal->PreferExactNames({"a*.txt", "ab.txt", "b?.txt", "bc.txt"});
    for (const char* name : {"ab.txt", "bc.txt", "A*.TXT"}) {
        EXPECT_FALSE(literal->Matches(name)) << name;
    }
    EXPECT_TRUE(literal->Matches("a*.txt"));
    EXPECT_TRUE(names->Matches("x.bin"));      // wildcards still ignore case
    EXPECT_TRUE(names->Matches("OTHER.TXT"));  // no exact entry: the one differing in case
    // Two entries differing from the name in case alone: the name stands for neither.
    auto ambiguous = EntryNameList::Parse("readme");
    ambiguous->PreferExactNames({"README", "Readme"});
    EXPECT_FALSE(ambiguous->Matches("README"));
    EXPECT_FALSE(ambiguous->Matches("Readme"));
}

TEST(ProgressTicker, AStopIsFinal) {
    g_calls = 0;
    ProgressTicker ticker(Stop, std::chrono::seconds(0));
    EXPECT_FALSE(ticker.Tick(0, 1));
    EXPECT_FALSE(ticker.Tick(1, 1));
    EXPECT_TRUE(ticker.Aborted());
    EXPECT_EQ(g_calls.load(), 1);
    EXPECT_TRUE(ProgressTicker(nullptr).Tick(0, 0));
}

}  // namespace
}  // namespace vantrel::ziplib
