#pragma once
// What a lock file of the operation queue holds and when it still holds its slot. A lock file is
// named after the minute it was taken (LockFileTime.h) and records the process that took it, so
// that a lock of a process that has ended frees its slot at once, whatever its age.

#include <string>
#include <vector>

#include "component/policy/OperationClock.h"
#include "platform/files/LockFolder.h"

namespace vantrel {

// What a new lock file of this process holds: its owner on the first line (platform/LockOwner.h)
// and, on the second, a number no other lock of the process has, so that an object that releases
// its slot removes its own lock and no other.
std::string NewLockRecord();

// Whether the lock file name in folder holds its slot at now: its name carries a time of day that
// is not ahead of now and lies within the time-out (LockIsLive), and the process recorded in it
// still runs. A lock without a readable record holds nothing (its taker ended while writing it).
bool LockCounts(const platform::LockFolder& folder, const std::string& name, ClockMinute now,
                int timeOutMinutes);

// Removes the lock files of both kinds whose process has ended; gives the names removed (none when
// the guard stays taken for seconds).
std::vector<std::string> RemoveDeadLocks(const platform::LockFolder& folder);

}  // namespace vantrel
