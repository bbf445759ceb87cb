#include "host/SignInThrottle.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

using namespace std::chrono_literals;

using Failures = std::vector<std::pair<std::string, const char*>>;  // account, address

TEST(SignInThrottleTest, FailuresLockAnAccountFromOneAddressAndAnAddressForAMinute) {
    struct Case {
        const char* what;
        Failures failures;
        std::chrono::seconds between;
        const char* account;
        const char* address;
        std::chrono::seconds after;  // after the last failure
        bool locked;
    };
    const Failures fiveForAlice(5, {"alice", "10.0.0.1"});
    Failures manyNames;
    for (int i = 0; i < 20; ++i) {
        manyNames.emplace_back("user" + std::to_string(i), "10.0.0.9");
    }
    const Failures nineteenNames(manyNames.begin(), manyNames.end() - 1);
    const Case cases[] = {
        {"four are allowed", {4, {"alice", "10.0.0.1"}}, 1s, "alice", "10.0.0.1", 0s, false},
        {"the fifth locks alice there", fiveForAlice, 1s, "alice", "10.0.0.1", 59s, true},
        {"for a minute", fiveForAlice, 1s, "alice", "10.0.0.1", 60s, false},
        {"alice elsewhere goes on", fiveForAlice, 1s, "alice", "10.0.0.2", 0s, false},
        {"others there go on", fiveForAlice, 1s, "bob", "10.0.0.1", 0s, false},
        {"spread over more than 15 minutes", fiveForAlice, 4min, "alice", "10.0.0.1", 0s, false},
        {"nineteen names from one address", nineteenNames, 1s, "f", "10.0.0.9", 0s, false},
        {"the twentieth locks the address", manyNames, 1s, "f", "10.0.0.9", 0s, true},
        {"... and nobody else", manyNames, 1s, "user1", "10.0.0.8", 0s, false},
    };
    for (const auto& c : cases) {
        SignInThrottle throttle;
        SignInThrottle::TimePoint now{};
        for (const auto& [account, address] : c.failures) {
            now += c.between;
            throttle.RecordFailure(account, address, now);
        }
        EXPECT_EQ(throttle.IsLockedOut(c.account, c.address, now + c.after), c.locked) << c.what;
    }
}

TEST(SignInThrottleTest, ASuccessForgivesTheAccountButNotTheAddress) {
    SignInThrottle throttle;
    SignInThrottle::TimePoint now{};
    for (int i = 0; i < 4; ++i) {
        throttle.RecordFailure("alice", "10.0.0.1", now);
    }
    throttle.RecordSuccess("alice", "10.0.0.1");
    throttle.RecordFailure("alice", "10.0.0.1", now);
    EXPECT_FALSE(throttle.IsLockedOut("alice", "10.0.0.1", now));
    for (int i = 0; i < 15; ++i) {
        throttle.RecordFailure("carol", "10.0.0.1", now);
    }
    EXPECT_TRUE(throttle.IsLockedOut("dave", "10.0.0.1", now));
}

}  // namespace
}  // namespace vantrel::host
