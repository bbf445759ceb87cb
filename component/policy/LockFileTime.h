#pragma once
// A lock file of the operation queue is named after the minute it was taken: prefix + hhnn +
// ".~fb" (~sz1407.~fb for a zip slot taken at 14:07). The date is not part of the name, so the
// age of a lock is judged from hour and minute alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "component/policy/OperationClock.h"

namespace vantrel {

inline constexpr std::string_view kLockFileExtension = ".~fb";
inline constexpr std::string_view kZipLockPrefix = "~sz";
inline constexpr std::string_view kUnzipLockPrefix = "~su";
// Both kinds take turns on one guard file in the same folder; its name matches neither kind's
// pattern.
inline constexpr std::string_view kQueueGuardFileName = "~fbslots.lck";

// The time-out in whole minutes: the seconds over 60, halves rounded to the even neighbour, and
// at least 1.
int TimeOutMinutes(int32_t timeOutSeconds);

// "~sz" and 14:07 give "~sz1407.~fb".
std::string LockFileName(std::string_view prefix, ClockMinute taken);

// The hour and minute of a lock file's name, read from its last eight characters ("hhnn.~fb");
// nullopt when those are not four digits followed by the extension, or not a time of day (hour
// 00 to 23, minute 00 to 59).
std::optional<ClockMinute> LockFileTakenAt(std::string_view name);

// Whether a lock taken at `taken` still counts at `now`: within the same hour from its minute up to
// n minutes after it, or in the next hour while the minute is below n. A lock from 23:58 is
// therefore stale after midnight, and one left from the day before at the same hour counts again.
// A lock whose time lies ahead of now in the same hour was not taken by this clock: it never
// counts.
bool LockIsLive(ClockMinute taken, ClockMinute now, int timeOutMinutes);

}  // namespace vantrel
