#include "component/policy/SlotWake.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

namespace vantrel {

SlotWake& SlotWake::Instance() {
    // Never destroyed: the thread that reads the folder events lives as long as the process.
    static SlotWake* instance = new SlotWake;
    return *instance;
}

uint64_t SlotWake::Changes() {
    std::lock_guard lock(mutex_);
    return changes_;
}

void SlotWake::Notify() {
    {
        std::lock_guard lock(mutex_);
        ++changes_;
    }
    changed_.notify_all();
}

void SlotWake::Watch(int folderFd) {
    std::call_once(watcherStarted_, [this] {
        inotifyFd_ = ::inotify_init1(IN_CLOEXEC);
        if (inotifyFd_ >= 0) {
            std::thread([this] { ReadFolderEvents(); }).detach();
        }
    });
    if (inotifyFd_ >= 0) {
        // Watching a folder already watched only renews its watch.
        std::string path = "/proc/self/fd/" + std::to_string(folderFd);
        ::inotify_add_watch(inotifyFd_, path.c_str(), IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR);
    }
}

bool SlotWake::WaitForChange(uint64_t seen, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return changes_ != seen; });
}

void SlotWake::ReadFolderEvents() {
    alignas(inotify_event) char events[4096];
    for (;;) {
        ssize_t got = ::read(inotifyFd_, events, sizeof events);
        if (got > 0) {
            Notify();
        } else if (got < 0 && errno != EINTR) {
            return;
        }
    }
}

}  // namespace vantrel
