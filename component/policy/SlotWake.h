#pragma once
// Wakes the requests that wait for an operation slot as soon as a slot may have freed, instead of
// at their next look two seconds on: a release in this process wakes them at once, and a lock file
// that another process removes from the queue's folder wakes them through inotify. Every wake
// only asks the waiters to look again; whether a slot is free is always read from the lock files.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vantrel {

class SlotWake {
  public:
    // The one of the process.
    static SlotWake& Instance();

    // How many changes there have been so far; read before looking at the lock files, so that a
    // change after the look ends the wait that follows it.
    uint64_t Changes();
    // A slot may have freed, or the waits must end (the server stops).
    void Notify();
    // From now on, files removed from the folder open as folderFd (by any process) wake the
    // waiters. Without inotify the waiters look again after their pause.
    void Watch(int folderFd);
    // Waits until the count of changes differs from seen, or limit has passed; true when a change
    // ended the wait.
    bool WaitForChange(uint64_t seen, std::chrono::milliseconds limit);

  private:
    SlotWake() = default;
    void ReadFolderEvents();

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t changes_ = 0;
    std::once_flag watcherStarted_;
    int inotifyFd_ = -1;
};

}  // namespace vantrel
