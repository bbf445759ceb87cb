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
#include <sstream>
#include <string_view>

#include "platform/files/FolderEntries.h"

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

// When process pid started, in whole seconds no later than the truth; nullopt when unknown.
std::optional<std::time_t> StartTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return std::nullopt;
    }
    // The name in parentheses may hold blanks and parentheses of its own.
    size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    // The start (field 22, clock ticks since boot) is the 20th after the name.
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    auto boot = BootTime();
    long ticks = ::sysconf(_SC_CLK_TCK);
    if (!fields || !boot || ticks <= 0) {
        return std::nullopt;
    }
    return *boot + static_cast<std::time_t>(std::stoull(field) / static_cast<uint64_t>(ticks));
}

}  // namespace

std::string TemporaryFileName() {
    static std::atomic<unsigned> counter{0};
    return std::string(kPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           std::string(kSuffix);
}

bool ProcessMayHaveWritten(pid_t pid, std::time_t time) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return false;
    }
    try {
        std::optional<std::time_t> started = StartTime(pid);
        return !started || *started <= time + kClockSlack;
    } catch (...) {
        return true;
    }
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
