#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>

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
#include "component/policy/QueueLocks.h"
#include "component/policy/SlotWake.h"
#include "platform/files/LockOwner.h"

namespace vantrel::testing {
namespace {
namespace fs = std::filesystem;

constexpr const char* kWaiting = "Waiting to access compression component ...<BR>";
constexpr const char* kTooBusy = "<B>Sorry, the component is too busy at present.</B><P>";

// A clock the test sets. Pausing advances the calling thread's seconds without sleeping (a short
// real sleep lets other threads run) and then runs the test's hook; with wakeable set it waits for
// the queue's wake instead, for as long as a test can bear, and counts the waits that no wake
// ended.
class TestClock : public OperationClock {
  public:
    ClockMinute LocalTime() override { return {hour.load(), minute.load()}; }
    int64_t Seconds() override {
        if (onSeconds) {
            onSeconds();
        }
        return seconds_;
    }
    void Pause(int seconds, uint64_t seenChanges) override {
        if (onPause) {
            onPause(seconds_ + seconds);
        }
        if (wakeable) {
            if (!SlotWake::Instance().WaitForChange(seenChanges, std::chrono::minutes(1))) {
                ++unwoken;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(realPauseMs));
        }
        seconds_ += seconds;
    }
    void Set(int h, int m) {
        hour = h;
        minute = m;
    }

    std::atomic<int> hour{14};
    std::atomic<int> minute{7};
    int realPauseMs = 0;
    bool wakeable = false;
    std::atomic<int> unwoken = 0;
    std::function<void(int64_t)> onPause;  // runs as a pause begins, with the seconds it ends at
    std::function<void()> onSeconds;       // runs when the waiter reads the clock

  private:
    static thread_local int64_t seconds_;
};

thread_local int64_t TestClock::seconds_ = 0;

// Another process that takes something of the queue's (hold) and keeps it until told to give it
// back (then runs release) or killed.
class HoldingProcess {
  public:
    HoldingProcess(
        std::function<bool()> hold, std::function<void()> release = [] {}) {
        int ready[2], told[2];
        if (::pipe(ready) != 0 || ::pipe(told) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(told[1]);
            char answer = hold() ? 'y' : 'n';
            [[maybe_unused]] auto sent = ::write(ready[1], &answer, 1);
            if (::read(told[0], &answer, 1) == 1) {
                release();
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(told[0]);
        tell_ = told[1];
        char answer = 'n';
        holds_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~HoldingProcess() {
        Kill();
        Reap();
        ::close(tell_);
    }

    bool Holds() const { return holds_; }
    void GiveBack() {
        [[maybe_unused]] auto sent = ::write(tell_, "r", 1);
        Reap();
    }
    // Kills the process and waits until it has ended, leaving it unreaped.
    void Kill() {
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) {
            siginfo_t info{};
            ::waitid(P_PID, pid_, &info, WEXITED | WNOWAIT);
        }
    }
    void Reap() {
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int tell_ = -1;
    bool holds_ = false;
};

class OperationQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { SetOperationClock(&clock_); }
    void TearDown() override { SetOperationClock(nullptr); }

    fs::path Queue() const { return server_.QueueFolder(); }
    bool Exists(const std::string& name) const { return fs::exists(Queue() / name); }
    void MakeLock(const std::string& name, const std::string& record = NewLockRecord()) const {
        std::ofstream(Queue() / name) << record;
    }
    std::vector<std::string> LockFiles(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".~fb") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> LockFiles() const { return LockFiles(Queue()); }

    TemporaryServer server_;
    TestClock clock_;
};

// The zip and unzip slots are independent: each is taken at once, without a notice, by a lock
// file that names this process.
TEST_F(OperationQueueTest, FreeSlotsAreTakenAtOnceWithoutNotice) {
    PolicyRequest zip;
    PolicyRequest unzip;
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(zip.component, OperationKind::Zip));
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(unzip.component, OperationKind::Unzip));
    EXPECT_EQ(zip.output + unzip.output, "");
    EXPECT_EQ(LockFiles(), (std::vector<std::string>{"~su1407.~fb", "~sz1407.~fb"}));
    std::stringstream record;
    record << std::ifstream(Queue() / "~sz1407.~fb").rdbuf();
    EXPECT_EQ(platform::ParseLockOwner(record.str()), platform::ThisProcess());
    PolicyAccess::ReleaseOperationSlot(zip.component, OperationKind::Zip);
    PolicyAccess::ReleaseOperationSlot(unzip.component, OperationKind::Unzip);
    EXPECT_TRUE(LockFiles().empty());
}

// The waiter reads the clock right after writing its notice; a slot freed by then is taken at once,
// before any pause.
TEST_F(OperationQueueTest, WaiterTestsAgainAtOnceAfterTheNotice) {
    MakeLock("~sz1407.~fb");
    PolicyRequest request;
    int pauses = 0;
    clock_.onPause = [&](int64_t) { ++pauses; };
    clock_.onSeconds = [&] { fs::remove(Queue() / "~sz1407.~fb"); };
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
    EXPECT_EQ(request.output, kWaiting);
    EXPECT_EQ(pauses, 0);
    PolicyAccess::ReleaseOperationSlot(request.component, OperationKind::Zip);
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

// Lock file errors never fail a request: a queue folder that is not the process's own (others may
// use it) or does not exist leaves the slot free. A process without a queue folder keeps its lock
// files in the temporary directory.
TEST_F(OperationQueueTest, WhereTheLockFilesLie) {
    fs::permissions(Queue(), fs::perms::all);
    PolicyRequest open;
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(open.component, OperationKind::Zip));
    EXPECT_TRUE(LockFiles().empty());
    PolicyAccess::ReleaseOperationSlot(open.component, OperationKind::Zip);
    EXPECT_EQ(open.output, "");

    ::unsetenv(platform::kQueueFolderVariable);
    PolicyRequest fallback;
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(fallback.component, OperationKind::Zip));
    EXPECT_EQ(LockFiles(server_.DriveFolder() / "temp"), std::vector<std::string>{"~sz1407.~fb"});
    PolicyAccess::ReleaseOperationSlot(fallback.component, OperationKind::Zip);
    PolicyAccess::SetTempDir(fallback.component, "q:\\nowhere\\");
    EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(fallback.component, OperationKind::Zip));
    EXPECT_EQ(fallback.output, "");
}

// The minute rule itself is LockIsLive's; here a lock counts only while its process runs and its
// name carries a time of day within the time-out and not ahead of the clock. Stale locks are
// deleted and a live one kept; a lock's date is not looked at, and the other kind's locks and
// folders are left alone.
TEST_F(OperationQueueTest, KeepsLiveLocksAndDeletesStaleOnes) {
    platform::LockOwner self = platform::ThisProcess();
    auto recordOf = [](platform::LockOwner owner) { return platform::LockOwnerText(owner); };
    platform::LockOwner ended = self;
    if ((ended.pid = ::fork()) == 0) {
        ::_exit(0);
    }
    ::waitpid(ended.pid, nullptr, 0);
    platform::LockOwner reusedPid = self;
    reusedPid.startTicks += 1;
    platform::LockOwner otherBoot = self;
    otherBoot.bootId = "another-boot";
    struct Case {
        std::vector<const char*> locks;
        ClockMinute now;
        bool live;
        std::string record = NewLockRecord();
        bool yesterday = false;
    } cases[] = {{{"~sz1407.~fb"}, {14, 12}, true},
                 {{"~sz1407.~fb"}, {14, 13}, false},
                 {{"~SZ1407.~FB"}, {14, 8}, true},
                 {{"~szjunk.~fb"}, {14, 8}, false},
                 {{"~sz.~fb", "~sz1406.~fb"}, {14, 8}, true},
                 {{"~sz.~fb", "~sz1406.~fb"}, {14, 20}, false},
                 {{"~sz1407.~fb"}, {14, 8}, true, NewLockRecord(), true},
                 {{"~sz1420.~fb"}, {14, 8}, false},
                 {{"~sz1407.~fb"}, {14, 8}, false, recordOf(ended)},
                 {{"~sz1407.~fb"}, {14, 8}, false, recordOf(reusedPid)},
                 {{"~sz1407.~fb"}, {14, 8}, false, recordOf(otherBoot)},
                 {{"~sz1407.~fb"}, {14, 8}, false, ""}};
    for (const auto& c : cases) {
        std::ranges::for_each(c.locks, [&](const char* lock) { MakeLock(lock, c.record); });
        if (c.yesterday) {
            auto path = Queue() / c.locks[0];
            fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24));
        }
        clock_.Set(c.now.hour, c.now.minute);
        PolicyRequest request;
        EXPECT_EQ(PolicyAccess::LockFileIsLive(request.component, OperationKind::Zip), c.live)
            << c.locks.back() << " " << c.record;
        for (const char* lock : c.locks) {
            EXPECT_EQ(Exists(lock), c.live) << lock;
        }
        fs::remove_all(Queue());
        fs::create_directory(Queue());
        fs::permissions(Queue(), fs::perms::owner_all);
    }
    MakeLock("~su1200.~fb");
    fs::create_directory(Queue() / "~sz1200.~fb");
    PolicyRequest request;
    EXPECT_FALSE(PolicyAccess::LockFileIsLive(request.component, OperationKind::Zip));
    EXPECT_TRUE(Exists("~su1200.~fb"));
    EXPECT_TRUE(fs::is_directory(Queue() / "~sz1200.~fb"));
}

// A crash costs the queue nothing: the lock of a process killed while it holds the slot frees the
// slot at once, long before its time-out, even before the process has been reaped; and a host
// clears such locks when it starts.
TEST_F(OperationQueueTest, ALockOfAKilledProcessFreesItsSlotAtOnce) {
    auto takeZipSlot = [] {
        PolicyRequest request;
        return !PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip);
    };
    {
        HoldingProcess holder(takeZipSlot);
        ASSERT_TRUE(holder.Holds());
        // With no wait period, the apology follows the notice at once; giving up holds nothing.
        PolicyRequest waiter;
        PolicyAccess::SetPeriods(waiter.component, 0, 300);
        EXPECT_TRUE(PolicyAccess::WaitForOperationSlot(waiter.component, OperationKind::Zip));
        EXPECT_EQ(waiter.output, std::string(kWaiting) + kTooBusy);
        PolicyAccess::ReleaseOperationSlot(waiter.component, OperationKind::Zip);
        EXPECT_EQ(LockFiles(), std::vector<std::string>{"~sz1407.~fb"});
        holder.Kill();
        PolicyRequest next;
        EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(next.component, OperationKind::Zip));
        EXPECT_EQ(next.output, "");
        PolicyAccess::ReleaseOperationSlot(next.component, OperationKind::Zip);
    }
    HoldingProcess killed(takeZipSlot);
    ASSERT_TRUE(killed.Holds());
    MakeLock("~su1407.~fb");
    killed.Kill();
    killed.Reap();
    std::string error;
    auto queue = platform::LockFolder::Create(Queue(), error);
    ASSERT_TRUE(queue) << error;
    EXPECT_EQ(RemoveDeadLocks(*queue), std::vector<std::string>{"~sz1407.~fb"});
    EXPECT_EQ(LockFiles(), std::vector<std::string>{"~su1407.~fb"});
}

// Another process that keeps the guard makes a request wait no longer than its wait period, then
// apologise; the slot itself was free all along.
TEST_F(OperationQueueTest, AGuardHeldByAnotherProcessMakesARequestTooBusyNotHang) {
    HoldingProcess holder([this] {
        int guard = ::open((Queue() / "~fbslots.lck").c_str(), O_RDONLY | O_CREAT, 0600);
        return guard >= 0 && ::flock(guard, LOCK_EX) == 0;
    });
    ASSERT_TRUE(holder.Holds());
    PolicyRequest request;
    PolicyAccess::SetPeriods(request.component, 1, 300);
    EXPECT_TRUE(PolicyAccess::WaitForOperationSlot(request.component, OperationKind::Zip));
    EXPECT_EQ(request.output, std::string(kWaiting) + kTooBusy);
    EXPECT_TRUE(LockFiles().empty());
}

// A release wakes the waiter at once, whether it happens in this process or another; the waiter's
// pause would otherwise last a minute.
TEST_F(OperationQueueTest, AReleaseInAnyProcessWakesTheWaiterAtOnce) {
    clock_.wakeable = true;
    for (bool otherProcess : {false, true}) {
        PolicyRequest owner;
        std::optional<HoldingProcess> holder;
        if (otherProcess) {
            holder.emplace(
                [&] {
                    return !PolicyAccess::WaitForOperationSlot(owner.component, OperationKind::Zip);
                },
                [&] { PolicyAccess::ReleaseOperationSlot(owner.component, OperationKind::Zip); });
            ASSERT_TRUE(holder->Holds());
        } else {
            ASSERT_FALSE(PolicyAccess::WaitForOperationSlot(owner.component, OperationKind::Zip));
        }
        std::atomic<bool> waiting = false;
        clock_.onPause = [&](int64_t) { waiting = true; };
        std::string output;
        std::thread waiterThread([&] {
            PolicyRequest waiter;
            PolicyAccess::SetPeriods(waiter.component, 1000, 300);
            EXPECT_FALSE(PolicyAccess::WaitForOperationSlot(waiter.component, OperationKind::Zip));
            output = waiter.output;
            PolicyAccess::ReleaseOperationSlot(waiter.component, OperationKind::Zip);
        });
        while (!waiting) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (holder) {
            holder->GiveBack();
        } else {
            owner.Bind();
            PolicyAccess::ReleaseOperationSlot(owner.component, OperationKind::Zip);
        }
        waiterThread.join();
        EXPECT_EQ(output, kWaiting) << otherProcess;
        EXPECT_EQ(clock_.unwoken, 0) << otherProcess;
        EXPECT_TRUE(LockFiles().empty());
    }
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
