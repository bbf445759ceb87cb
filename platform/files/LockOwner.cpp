#include "platform/files/LockOwner.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace vantrel::platform {

namespace {

std::string BootId() {
    static const std::string kBootId = [] {
        std::string id;
        std::ifstream("/proc/sys/kernel/random/boot_id") >> id;
        return id.empty() ? std::string("-") : id;  // a record always has three fields
    }();
    return kBootId;
}

}  // namespace

// The command name in parentheses may hold blanks and parentheses itself, so the fields are
// counted from its last ")".
std::optional<ProcessStat> ReadProcessStat(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return std::nullopt;
    }
    size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(close + 1));
    ProcessStat stat;
    std::string skipped;
    fields >> stat.state;
    // Fields 4 to 21 lie between the state (3) and the start time (22).
    for (int field = 4; field <= 21; ++field) {
        fields >> skipped;
    }
    fields >> stat.startTicks;
    return fields ? std::optional(stat) : std::nullopt;
}

LockOwner ThisProcess() {
    // Cached per process id: a child made by fork is another owner.
    static thread_local LockOwner t_owner;
    pid_t pid = ::getpid();
    if (t_owner.pid != pid) {
        auto stat = ReadProcessStat(pid);
        t_owner = {pid, stat ? stat->startTicks : 0, BootId()};
    }
    return t_owner;
}

std::string LockOwnerText(const LockOwner& owner) {
    return std::to_string(owner.pid) + " " + std::to_string(owner.startTicks) + " " + owner.bootId +
           "\n";
}

std::optional<LockOwner> ParseLockOwner(std::string_view text) {
    std::istringstream in{std::string(text.substr(0, text.find('\n')))};
    LockOwner owner;
    std::string rest;
    if (!(in >> owner.pid >> owner.startTicks >> owner.bootId) || owner.pid <= 0 || (in >> rest)) {
        return std::nullopt;
    }
    return owner;
}

bool LockOwnerRunning(const LockOwner& owner) {
    if (owner.bootId != BootId()) {
        return false;
    }
    if (auto stat = ReadProcessStat(owner.pid)) {
        return stat->startTicks == owner.startTicks && stat->state != 'Z' && stat->state != 'X';
    }
    // Hidden from this process (/proc mounted with hidepid) or gone.
    return ::kill(owner.pid, 0) == 0 || errno != ESRCH;
}

}  // namespace vantrel::platform
