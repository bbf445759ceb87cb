#include "component/policy/OperationClock.h"

#include <atomic>
#include <chrono>
#include <ctime>

#include "component/policy/SlotWake.h"

namespace vantrel {

namespace {

class SystemClock : public OperationClock {
  public:
    ClockMinute LocalTime() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return {local.tm_hour, local.tm_min};
    }

    int64_t Seconds() override {
        auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::seconds>(sinceStart).count();
    }

    void Pause(int seconds, uint64_t seenChanges) override {
        SlotWake::Instance().WaitForChange(seenChanges, std::chrono::seconds(seconds));
    }
};

SystemClock g_systemClock;
std::atomic<OperationClock*> g_clock{nullptr};

}  // namespace

OperationClock& ActiveOperationClock() {
    OperationClock* clock = g_clock.load();
    return clock ? *clock : g_systemClock;
}

void SetOperationClock(OperationClock* clock) {
    g_clock.store(clock);
}

}  // namespace vantrel
