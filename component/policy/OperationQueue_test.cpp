#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "component/policy/OperationClock.h"
#include "component/policy/PolicyHarness.h"

namespace vantrel::testing {
namespace {
namespace fs = std::filesystem;

constexpr const char* kWaiting = "Waiting to access compression component ...<BR>";
constexpr const char* kTooBusy = "<B>Sorry, the component is too busy at present.</B><P>";

// A clock the test sets. Pausing advances the calling thread's seconds without sleeping (a short
// real sleep lets other threads run) and then runs the test's hook.
class TestClock : public OperationClock {
  public:
    ClockMinute LocalTime() override { return {hour.load(), minute.load()}; }
    int64_t Seconds() override {
        if (onSeconds) {
            onSeconds();
        }
        return seconds_;
    }
    void Pause(int seconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(realPauseMs));
        seconds_ += seconds;
        if (onPause) {
            onPause(seconds_);
        }
    }
    void Set(int h, int m) {
        hour = h;
        minute = m;
    }

    std::atomic<int> hour{14};
    std::atomic<int> minute{7};
    int realPauseMs = 0;
    std::function<void(int64_t)> onPause;
    std::function<void()> onSeconds;  // runs when the waiter reads the clock

  private:
    static thread_local int64_t seconds_;
};

thread_local int64_t TestClock::seconds_ = 0;

class OperationQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { SetOperationClock(&clock_); }
    void TearDown() override { SetOperationClock(nullptr); }

    fs::path TempFolder() const { return server_.DriveFolder() / "temp"; }
    bool Exists(const char* name) const { return fs::exists(TempFolder() / name); }
    void MakeLock(const char* name) const { std::ofstream(TempFolder() / name).close(); }
    std::vector<std::string> LockFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(TempFolder())) {
            if (entry.path().extension() == ".~fb") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryServer server_;
    TestClock clock_;
};

// The zip and unzip slots are independent: each is taken at once, without a notice.
TEST_F(OperationQueueTest, FreeSlotsAreTakenAtOnceWithoutNotice) {
    PolicyRequest zip;
    PolicyRequest unzip;
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(zip.component, OperationKind::Zip));
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(unzip.component, OperationKind::Unzip));
    EXPECT_EQ(zip.output + unzip.output, "");
    EXPECT_EQ(LockFiles(), (std::vector<std::string>{"~su1407.~fb", "~sz1407.~fb"}));
    EXPECT_EQ(fs::file_size(TempFolder() / "~sz1407.~fb"), 0u);
    PolicyAccess::ReleaseOperationSlot(zip.component, OperationKind::Zip);
    PolicyAccess::ReleaseOperationSlot(unzip.component, OperationKind::Unzip);
    EXPECT_TRUE(LockFiles().empty());
}

TEST_F(OperationQueueTest, NoWaitPeriodApologisesAtOnce) {
    MakeLock("~sz1405.~fb");
    PolicyRequest request;
    PolicyAccess::SetPeriods(request.component, 0, 300);
    EXPECT_TRUE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
    EXPECT_EQ(request.output, std::string(kWaiting) + kTooBusy);
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1405.~fb"});
    // Giving up holds nothing, so releasing afterwards leaves the other lock alone.
    PolicyAccess::ReleaseOperationSlot(request.component, OperationKind::Zip);
    EXPECT_TRUE(Exists("~sz1405.~fb"));
}

TEST_F(OperationQueueTest, WaiterTakesTheSlotSoonAfterItsRelease) {
    PolicyRequest owner;
    ASSERT_FALSE(PolicyAccess::WaitForOperationSlot(owner.component, OperationKind::Unzip));
    PolicyRequest waiter;
    int64_t takenAt = -1;
    clock_.onPause = [&](int64_t seconds) {
        if (seconds >= 10 && takenAt < 0) {
            PolicyAccess::ReleaseOperationSlot(owner.component, OperationKind::Unzip);
            takenAt = seconds;
        }
    };
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(waiter.component, OperationKind::Unzip));
    EXPECT_EQ(waiter.output, kWaiting);
    EXPECT_EQ(takenAt, 10);
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~su1407.~fb"});
    PolicyAccess::ReleaseOperationSlot(waiter.component, OperationKind::Unzip);
    EXPECT_TRUE(LockFiles().empty());
}

// The waiter reads the clock right after writing its notice; a slot freed by then is taken at once,
// before any pause.
TEST_F(OperationQueueTest, WaiterTestsAgainAtOnceAfterTheNotice) {
    MakeLock("~sz1407.~fb");
    PolicyRequest request;
    int pauses = 0;
    clock_.onPause = [&](int64_t) { ++pauses; };
    clock_.onSeconds = [&] { fs::remove(TempFolder() / "~sz1407.~fb"); };
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
    EXPECT_EQ(request.output, kWaiting);
    EXPECT_EQ(pauses, 0);
    PolicyAccess::ReleaseOperationSlot(request.component, OperationKind::Zip);
}

TEST_F(OperationQueueTest, HolderAskingAgainKeepsItsSlot) {
    PolicyRequest repair;
    ASSERT_FALSE(PolicyAccess::WaitForOperationSlot(repair.component, OperationKind::Zip));
    clock_.Set(14, 8);
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(repair.component, OperationKind::Zip));
    EXPECT_EQ(repair.output, "");
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1407.~fb"});
    PolicyAccess::ReleaseOperationSlot(repair.component, OperationKind::Zip);
    PolicyAccess::ReleaseOperationSlot(repair.component, OperationKind::Zip);
    EXPECT_TRUE(LockFiles().empty());
}

TEST_F(OperationQueueTest, ReleaseLeavesAnotherHoldersLockInPlace) {
    PolicyRequest first;
    PolicyAccess::SetPeriods(first.component, 30, 60);
    ASSERT_FALSE(PolicyAccess::WaitForOperationSlot(first.component, OperationKind::Zip));
    // The first operation overruns its time-out; a second one finds its lock stale.
    clock_.Set(14, 9);
    PolicyRequest second;
    PolicyAccess::SetPeriods(second.component, 30, 60);
    ASSERT_FALSE(PolicyAccess::WaitForOperationSlot(second.component, OperationKind::Zip));
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1409.~fb"});
    PolicyAccess::ReleaseOperationSlot(first.component, OperationKind::Zip);
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1409.~fb"});
    // That a listing, which never takes a slot, leaves a running unzip's lock alone is the contents
    // page's test.
}

TEST_F(OperationQueueTest, UnwritableTempDirLetsTheOperationGoOn) {
    PolicyRequest request;
    PolicyAccess::SetTempDir(request.component, "q:\\nowhere\\");
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
    EXPECT_EQ(request.output, "");
    PolicyAccess::ReleaseOperationSlot(request.component, OperationKind::Zip);
}

// The minute rule itself is LockIsLive's; here a stale lock is deleted, a live one kept, a lock
// file with no time in its name counts as stale (so a stray file can neither block the queue nor
// switch it off), a lock's date is not looked at, and the other kind's locks and folders are left
// alone.
TEST_F(OperationQueueTest, KeepsLiveLocksAndDeletesStaleOnes) {
    struct Case {
        std::vector<const char*> locks;
        ClockMinute now;
        bool live;
        bool yesterday = false;
    } cases[] = {{{"~sz1407.~fb"}, {14, 12}, true},
                 {{"~sz1407.~fb"}, {14, 13}, false},
                 {{"~SZ1407.~FB"}, {14, 8}, true},
                 {{"~szjunk.~fb"}, {14, 8}, false},
                 {{"~sz.~fb", "~sz1406.~fb"}, {14, 8}, true},
                 {{"~sz.~fb", "~sz1406.~fb"}, {14, 20}, false},
                 {{"~sz1407.~fb"}, {14, 8}, true, true}};
    for (const auto& c : cases) {
        std::ranges::for_each(c.locks, [&](const char* lock) { MakeLock(lock); });
        if (c.yesterday) {
            auto path = TempFolder() / c.locks[0];
            fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24));
        }
        clock_.Set(c.now.hour, c.now.minute);
        PolicyRequest request;
        EXPECT_EQ(PolicyAccess::LockFileIsLive(request.component, OperationKind::Zip), c.live)
            << c.locks.back();
        for (const char* lock : c.locks) {
            EXPECT_EQ(Exists(lock), c.live) << lock;
        }
        fs::remove_all(TempFolder());
        fs::create_directory(TempFolder());
    }
    MakeLock("~su1200.~fb");
    fs::create_directory(TempFolder() / "~sz1200.~fb");
    PolicyRequest request;
    EXPECT_FALSE(PolicyAccess::LockFileIsLive(request.component, OperationKind::Zip));
    EXPECT_TRUE(Exists("~su1200.~fb"));
    EXPECT_TRUE(fs::is_directory(TempFolder() / "~sz1200.~fb"));
}

// Two requests on two threads ask for one slot at the same instant, over and over: each time
// exactly one takes it at once and the other waits; once the winner releases, the waiter gets it.
TEST_F(OperationQueueTest, RacingRequestsNeverBothTakeTheSlot) {
    clock_.realPauseMs = 1;
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        std::barrier start(2);
        std::atomic<int> immediateWinners = 0;
        std::atomic<int> waiters = 0;
        std::atomic<bool> waiterStarted = false;
        auto contender = [&] {
            PolicyRequest request;
            PolicyAccess::SetPeriods(request.component, 1000, 300);
            start.arrive_and_wait();
            EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
            if (request.output.empty()) {
                ++immediateWinners;
                // Hold the slot until the other is seen waiting (bounded, should both win).
                for (int i = 0; i < 2000 && !waiterStarted; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            } else {
                EXPECT_EQ(request.output, kWaiting);
                ++waiters;
            }
            EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1407.~fb"});
            PolicyAccess::ReleaseOperationSlot(request.component, OperationKind::Zip);
        };
        clock_.onPause = [&](int64_t) { waiterStarted = true; };
        std::thread a(contender);
        std::thread b(contender);
        a.join();
        b.join();
        ASSERT_EQ(immediateWinners, 1) << "round " << round;
        ASSERT_EQ(waiters, 1) << "round " << round;
        EXPECT_TRUE(LockFiles().empty());
    }
}

}  // namespace
}  // namespace vantrel::testing
