#include "platform/files/Wildcard.h"

#include <gtest/gtest.h>

namespace vantrel::platform {
namespace {

TEST(WildcardTest, FollowsWindowsRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.*", "readme", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".hidden", true},
        {"*", "anything.txt", true},
        {"*.zip", "A.ZIP", true},
        {"*.zip", "a.zipx", false},
        {"a?c.txt", "abc.txt", true},
        {"a?c.txt", "ac.txt", false},
        {"*.txt", "txt", false},
        {"data.*", "data", true},
        {"data.*", "data.bin", true},
        {"~sz*.~fb", "~SZ1407.~FB", true},
        {"*a*b*", "xaybz", true},
        {"*a*b*", "xbya", false},
        // Unicode case folding; "?" is one character, however many bytes it takes.
        {"*\\PRIV\xC3\x89\\*", "c:\\priv\xC3\xA9\\x", true},
        {"caf?.txt", "caf\xC3\xA9.txt", true},
        {"caf??.txt", "caf\xC3\xA9.txt", false},
        {"\xCE\xA3*", "\xCF\x82x", true},
        {"\xC4\xB0*", "ix", false},
        {"a?b",
         "a\xFF"
         "b",
         true},  // an invalid byte is one character
        {"*.*", "*x.txt", true},
        {"*", "*.", true},
        {"", "a", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    }
}

TEST(WildcardTest, StaysLinearOnPathologicalPatterns) {
    std::string name(5000, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", name));
}

}  // namespace
}  // namespace vantrel::platform
