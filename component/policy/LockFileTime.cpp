#include "component/policy/LockFileTime.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/text/AsciiCase.h"

namespace vantrel {

int TimeOutMinutes(int32_t timeOutSeconds) {
    // nearbyint rounds halves to even in the default rounding mode.
    double minutes = std::nearbyint(static_cast<double>(timeOutSeconds) / 60.0);
    return std::max(1, static_cast<int>(minutes));
}

std::string LockFileName(std::string_view prefix, ClockMinute taken) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02d%02d", taken.hour % 100, taken.minute % 100);
    return std::string(prefix) + digits + std::string(kLockFileExtension);
}

std::optional<ClockMinute> LockFileTakenAt(std::string_view name) {
    constexpr size_t kTimeLength = 4;
    if (name.size() < kTimeLength + kLockFileExtension.size()) {
        return std::nullopt;
    }
    std::string_view tail = name.substr(name.size() - kTimeLength - kLockFileExtension.size());
    std::string_view extension = tail.substr(kTimeLength);
    bool extensionMatches = platform::LowerAscii(extension) == kLockFileExtension;
    bool digitsOnly = std::all_of(tail.begin(), tail.begin() + kTimeLength, [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (!extensionMatches || !digitsOnly) {
        return std::nullopt;
    }
    auto twoDigits = [&](size_t at) { return (tail[at] - '0') * 10 + (tail[at + 1] - '0'); };
    ClockMinute taken{twoDigits(0), twoDigits(2)};
    if (taken.hour > 23 || taken.minute > 59) {
        return std::nullopt;
    }
    return taken;
}

bool LockIsLive(ClockMinute taken, ClockMinute now, int timeOutMinutes) {
    bool sameHour = now.hour == taken.hour && taken.minute <= now.minute &&
                    now.minute <= taken.minute + timeOutMinutes;
    bool nextHour = now.hour == taken.hour + 1 && now.minute < timeOutMinutes;
    return sameHour || nextHour;
}

}  // namespace vantrel
