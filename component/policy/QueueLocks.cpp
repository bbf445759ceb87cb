#include "component/policy/QueueLocks.h"

#include <atomic>

#include "component/policy/LockFileTime.h"
#include "platform/files/LockOwner.h"

namespace vantrel {

namespace {

constexpr size_t kRecordLimit = 256;
constexpr auto kGuardWaitAtStart = std::chrono::seconds(5);

std::optional<platform::LockOwner> OwnerOf(const platform::LockFolder& folder,
                                           const std::string& name) {
    auto record = folder.Read(name, kRecordLimit);
    return record ? platform::ParseLockOwner(*record) : std::nullopt;
}

}  // namespace

std::string NewLockRecord() {
    static std::atomic<uint64_t> serial = 0;
    return platform::LockOwnerText(platform::ThisProcess()) + std::to_string(++serial) + "\n";
}

bool LockCounts(const platform::LockFolder& folder, const std::string& name, ClockMinute now,
                int timeOutMinutes) {
    auto taken = LockFileTakenAt(name);
    if (!taken || !LockIsLive(*taken, now, timeOutMinutes)) {
        return false;
    }
    auto owner = OwnerOf(folder, name);
    return owner && platform::LockOwnerRunning(*owner);
}

std::vector<std::string> RemoveDeadLocks(const platform::LockFolder& folder) {
    std::vector<std::string> removed;
    // Under the guard: a lock being written at this moment has no record yet.
    platform::FolderGuard guard(folder, std::string(kQueueGuardFileName),
                                std::chrono::steady_clock::now() + kGuardWaitAtStart);
    if (!guard.Held()) {
        return removed;
    }
    for (std::string_view prefix : {kZipLockPrefix, kUnzipLockPrefix}) {
        std::string pattern = std::string(prefix) + "*" + std::string(kLockFileExtension);
        for (const auto& name : folder.Find(pattern)) {
            auto owner = OwnerOf(folder, name);
            if ((!owner || !platform::LockOwnerRunning(*owner)) && folder.Remove(name)) {
                removed.push_back(name);
            }
        }
    }
    return removed;
}

}  // namespace vantrel
