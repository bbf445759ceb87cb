#pragma once
// The process that holds a lock file, as the lock file records it: its process id, when it started
// (so that a process id the kernel has given to another process since does not count) and the
// boot it runs in (so that nothing of an earlier boot counts). A lock whose owner has gone no
// longer holds anything, whatever its age.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::platform {

struct LockOwner {
    pid_t pid = 0;
    uint64_t startTicks = 0;  // clock ticks from boot to the process's start (/proc/PID/stat)
    std::string bootId;       // /proc/sys/kernel/random/boot_id

    bool operator==(const LockOwner&) const = default;
};

// Of /proc/PID/stat, the state letter and the start time (clock ticks from boot); nullopt when the
// system does not show the process (gone, or hidden from this one).
struct ProcessStat {
    char state = '?';
    uint64_t startTicks = 0;
};
std::optional<ProcessStat> ReadProcessStat(pid_t pid);

// The calling process.
LockOwner ThisProcess();

// "pid start boot" on one line, and back from a text's first line; nullopt when that is not one.
std::string LockOwnerText(const LockOwner& owner);
std::optional<LockOwner> ParseLockOwner(std::string_view text);

// False when the owner has certainly gone: another boot, no such process, a process id now worn
// by a process that started at another time, or a process that has ended and waits to be reaped.
// A process the system does not let this one look at counts as running.
bool LockOwnerRunning(const LockOwner& owner);

}  // namespace vantrel::platform
