#include "platform/asp/HostConversions.h"

#include <gtest/gtest.h>

#include "platform/asp/NumberTextCases.h"

namespace vantrel::asp {
namespace {

TEST(HostConversionsTest, ReadsNumbersAsTheHostsNumberTest) {
    for (const auto& test : testing::kNumberTextCases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(IsNumeric(test.text), test.reading != testing::NumberReading::NotANumber);
        std::optional<int32_t> expected;
        if (test.reading == testing::NumberReading::Whole) {
            expected = test.whole;
        }
        EXPECT_EQ(ToWholeNumber(test.text), expected);
    }
}

TEST(HostConversionsTest, FormatsNumbersDatesAndTimesAsTheServer) {
    // Whole numbers only: sizes and compression rates, which may be negative.
    EXPECT_EQ(FormatNumber(999, 0), "999");
    EXPECT_EQ(FormatNumber(1000, 0), "1,000");
    EXPECT_EQ(FormatNumber(-1234, 0), "-1,234");
    EXPECT_EQ(FormatNumber(5368709120.0, 0), "5,368,709,120");
    EXPECT_EQ(FormatShortDate(1999, 12, 17), "12/17/1999");
    EXPECT_EQ(FormatLongTime(13, 32, 30), "1:32:30 PM");
    EXPECT_EQ(FormatLongTime(0, 5, 9), "12:05:09 AM");
    EXPECT_EQ(FormatLongTime(12, 0, 0), "12:00:00 PM");
}

}  // namespace
}  // namespace vantrel::asp
