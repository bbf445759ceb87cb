#include "host/SessionStore.h"

#include <gtest/gtest.h>

#include <set>

namespace vantrel::host {
namespace {

using namespace std::chrono_literals;

// A store on a clock the test moves by hand.
struct ClockedStore {
    explicit ClockedStore(SessionLimits limits = {})
        : store(false, limits, [this] { return now; }) {}
    SessionStore::TimePoint now{};
    SessionStore store;
};

TEST(SessionStoreTest, EvenABusySessionEndsTwelveHoursAfterItBegan) {
    ClockedStore clocked;
    std::string id = clocked.store.Start(nullptr);
    for (auto elapsed = 0min; elapsed < 12h; elapsed += 10min) {
        ASSERT_TRUE(clocked.store.Find(id));
        clocked.now += 10min;
    }
    clocked.now += 1s;
    EXPECT_FALSE(clocked.store.Find(id));
}

TEST(SessionStoreTest, AFullStoreDropsTheLeastRecentlyUsedSession) {
    ClockedStore clocked({20min, 12h, 3});
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        ids.push_back(clocked.store.Start(nullptr));
        clocked.now += 1s;
    }
    ASSERT_TRUE(clocked.store.Find(ids[0]));  // now ids[1] is the least recently used
    std::string fourth = clocked.store.Start(nullptr);
    EXPECT_FALSE(clocked.store.Find(ids[1]));
    EXPECT_TRUE(clocked.store.Find(ids[0]));
    EXPECT_TRUE(clocked.store.Find(fourth));
}

TEST(SessionStoreTest, IdsAreFreshUnguessableAndEndedOnesAreGone) {
    ClockedStore clocked;
    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) {
        std::string id = clocked.store.Start(nullptr);
        EXPECT_EQ(id.size(), 32u);
        EXPECT_TRUE(ids.insert(id).second);
    }
    std::string id = *ids.begin();
    clocked.store.End(id);
    EXPECT_FALSE(clocked.store.Find(id));
    EXPECT_FALSE(clocked.store.Find(""));
}

}  // namespace
}  // namespace vantrel::host
