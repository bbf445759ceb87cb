#include "component/policy/LockFileTime.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(TimeOutMinutesTest, RoundsHalvesToEvenAndIsAtLeastOne) {
    struct {
        int32_t seconds;
        int minutes;
    } cases[] = {{300, 5},
                 {150, 2},
                 {90, 2},
                 {210, 4},
                 {20, 1},
                 {30, 1},
                 {0, 1},
                 {-600, 1},
                 {89, 1},
                 {91, 2},
                 {2147483647, 35791394}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimeOutMinutes(c.seconds), c.minutes) << c.seconds;
    }
}

TEST(LockFileTakenAtTest, ReadsTheLastEightCharacters) {
    ASSERT_TRUE(LockFileTakenAt("~SU2358.~FB"));
    EXPECT_EQ(LockFileTakenAt("~SU2358.~FB")->hour, 23);
    for (const char* junk : {"~sz.~fb", "~szab07.~fb", "~sz14a7.~fb", "~sz-107.~fb", "1407.txt",
                             "~sz2400.~fb", "~sz1460.~fb", "~sz9999.~fb"}) {
        EXPECT_FALSE(LockFileTakenAt(junk)) << junk;
    }
}

struct LiveCase {
    ClockMinute taken;
    ClockMinute now;
    int n;
    bool live;
};

void PrintTo(const LiveCase& c, std::ostream* out) {
    *out << c.taken.hour << ":" << c.taken.minute << " at " << c.now.hour << ":" << c.now.minute
         << " n=" << c.n;
}

class LockIsLiveTest : public ::testing::TestWithParam<LiveCase> {};

TEST_P(LockIsLiveTest, FollowsTheMinuteRule) {
    const LiveCase& c = GetParam();
    EXPECT_EQ(LockIsLive(c.taken, c.now, c.n), c.live)
        << c.taken.hour << ":" << c.taken.minute << " at " << c.now.hour << ":" << c.now.minute;
}

INSTANTIATE_TEST_SUITE_P(
    Minutes, LockIsLiveTest,
    ::testing::Values(LiveCase{{14, 7}, {14, 7}, 5, true}, LiveCase{{14, 7}, {14, 12}, 5, true},
                      LiveCase{{14, 7}, {14, 13}, 5, false},
                      // Untested for the rest of the hour, the lock counts again next hour.
                      LiveCase{{14, 7}, {15, 0}, 5, true}, LiveCase{{14, 7}, {15, 4}, 5, true},
                      LiveCase{{14, 7}, {15, 5}, 5, false}, LiveCase{{14, 58}, {14, 59}, 5, true},
                      LiveCase{{14, 58}, {15, 4}, 5, true}, LiveCase{{14, 58}, {15, 5}, 5, false},
                      LiveCase{{14, 7}, {13, 59}, 5, false}, LiveCase{{14, 7}, {16, 0}, 5, false},
                      // A time ahead of the clock was set by no lock taker.
                      LiveCase{{14, 8}, {14, 7}, 5, false}, LiveCase{{14, 59}, {14, 0}, 60, false},
                      // Midnight: hour 0 is not hour 23 + 1.
                      LiveCase{{23, 58}, {23, 59}, 5, true}, LiveCase{{23, 58}, {0, 1}, 5, false},
                      LiveCase{{14, 7}, {14, 8}, 1, true}, LiveCase{{14, 7}, {14, 9}, 1, false},
                      LiveCase{{14, 59}, {15, 0}, 1, true}, LiveCase{{14, 59}, {15, 1}, 1, false},
                      LiveCase{{14, 7}, {14, 9}, 2, true}, LiveCase{{14, 7}, {14, 10}, 2, false}));

}  // namespace
}  // namespace vantrel
