#include "platform/files/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <fstream>
#include <optional>
#include <string_view>

#include "platform/files/FolderEntries.h"
#include "platform/files/LockOwner.h"

namespace vantrel::platform {

namespace {

constexpr std::string_view kPrefix = ".lsz-";
constexpr std::string_view kSuffix = ".tmp";
// The boot time the kernel gives is whole seconds and follows changes of the clock: a start this
// close after a file's change still counts as its writer.
constexpr std::time_t kClockSlack = 2;

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The writer's process id from a name ".lsz-<pid>-<n>.tmp"; nullopt for any other name.
std::optional<pid_t> WriterOf(std::string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    size_t dash = name.find('-');
    if (dash == std::string_view::npos || !AllDigits(name.substr(0, dash)) ||
        !AllDigits(name.substr(dash + 1))) {
        return std::nullopt;
    }
    pid_t pid = 0;
    auto parsed = std::from_chars(name.data(), name.data() + dash, pid);
    if (parsed.ec != std::errc() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

std::optional<std::time_t> BootTime() {
    std::ifstream stat("/proc/stat");
    for (std::string line; std::getline(stat, line);) {
        if (line.starts_with("btime ")) {
            return static_cast<std::time_t>(std::stoll(line.substr(6)));
        }
    }
    return std::nullopt;
}

}  // namespace

std::string TemporaryFileName() {
    static std::atomic<unsigned> counter{0};
    return std::string(kPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           std::string(kSuffix);
}

bool ProcessMayHaveWritten(pid_t pid, std::time_t time) {
    std::optional<ProcessStat> stat = ReadProcessStat(pid);
    if (!stat) {
        return ::kill(pid, 0) == 0 || errno != ESRCH;  // hidden from this process, or gone
    }
    if (stat->state == 'Z' || stat->state == 'X') {
        return false;  // ended, waiting to be reaped
    }
    std::optional<std::time_t> boot = BootTime();
    long ticks = ::sysconf(_SC_CLK_TCK);
    if (!boot || ticks <= 0) {
        return true;
    }
    std::time_t started =
        *boot + static_cast<std::time_t>(stat->startTicks / static_cast<uint64_t>(ticks));
    return started <= time + kClockSlack;
}

int RemoveDeadTemporaries(int folderFd) {
    int removed = 0;
    for (const FolderEntry& entry : ReadFolderEntries(folderFd)) {
        std::optional<pid_t> writer = WriterOf(entry.name);
        struct stat info {};
        if (!writer || ::fstatat(folderFd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || ProcessMayHaveWritten(*writer, info.st_ctime)) {
            continue;
        }
        if (::unlinkat(folderFd, entry.name.c_str(), 0) == 0) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace vantrel::platform
