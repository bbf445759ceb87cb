#pragma once
// The clock of the operation queue: the local wall clock names and ages the lock files, a steady
// count of seconds bounds a request's wait, and the pause between two tests of a busy slot, which
// a slot that may have freed ends early (SlotWake). Tests put a clock of their own in its place.

#include <cstdint>

namespace vantrel {

// An hour (0 to 23) and a minute (0 to 59) of the local wall clock.
struct ClockMinute {
    int hour = 0;
    int minute = 0;
};

class OperationClock {
  public:
    virtual ~OperationClock() = default;
    virtual ClockMinute LocalTime() = 0;
    // Whole seconds on a count that never jumps with the wall clock.
    virtual int64_t Seconds() = 0;
    // Sleeps the calling thread until the count of SlotWake's changes differs from seenChanges or
    // the seconds have passed; holds no lock and keeps no other request waiting.
    virtual void Pause(int seconds, uint64_t seenChanges) = 0;
};

// The clock the queue uses: the system's, unless a test has set another.
OperationClock& ActiveOperationClock();
// Replaces the clock for the whole process; null restores the system's.
void SetOperationClock(OperationClock* clock);

}  // namespace vantrel
