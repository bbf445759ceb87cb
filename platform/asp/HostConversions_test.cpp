#include "platform/asp/HostConversions.h"

#include <gtest/gtest.h>

namespace vantrel::asp {
namespace {

TEST(HostConversionsTest, IsNumericFollowsTheHost) {
    for (const char* text : {"12", " -4.5 ", "1e3", ".5", "+7", "65500", "1.", "2E-2"}) {
        EXPECT_TRUE(IsNumeric(text)) << text;
    }
    for (const char* text : {"", " ", "abc", "1 2", "0x10", "e3", "1e", "--1", "."}) {
        EXPECT_FALSE(IsNumeric(text)) << text;
    }
}

TEST(HostConversionsTest, WholeNumbersRoundHalvesToEven) {
    const std::pair<const char*, int32_t> cases[] = {
        {"12.5", 12}, {"45.5", 46}, {"44.5", 44},     {"1e3", 1000},
        {"-2.5", -2}, {"30.6", 31}, {"65500", 65500}, {"2147483647", 2147483647},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ToWholeNumber(text), expected) << text;
    }
}

TEST(HostConversionsTest, UnusableNumbersHaveNoValue) {
    for (const char* text : {"abc", "", "99999999999", "2147483648", "-2147483649", "1e400"}) {
        EXPECT_FALSE(ToWholeNumber(text)) << text;
    }
}

TEST(HostConversionsTest, FormatsNumbersDatesAndTimesAsTheServer) {
    EXPECT_EQ(FormatNumber(1234567.891, 2), "1,234,567.89");
    EXPECT_EQ(FormatNumber(999, 0), "999");
    EXPECT_EQ(FormatNumber(1000, 0), "1,000");
    EXPECT_EQ(FormatNumber(-1234.5, 1), "-1,234.5");
    EXPECT_EQ(FormatNumber(5368709120.0, 0), "5,368,709,120");
    EXPECT_EQ(FormatShortDate(1999, 12, 17), "12/17/1999");
    EXPECT_EQ(FormatLongTime(13, 32, 30), "1:32:30 PM");
    EXPECT_EQ(FormatLongTime(0, 5, 9), "12:05:09 AM");
    EXPECT_EQ(FormatLongTime(12, 0, 0), "12:00:00 PM");
}

}  // namespace
}  // namespace vantrel::asp
