#pragma once
// The library's own worker threads for one execute call, one per core whatever the host's own
// thread count. The host gives each request's thread the signed-in account's file rights, for that
// thread alone, so a worker never opens, stats or creates anything by name, never calls the
// caller's functions (they write into the caller's page) and never touches libzip's archive: it
// reads from descriptors the calling thread opened and hands back buffers. Workers are named
// "lszip-worker".

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel::ziplib {

class WorkerPool {
  public:
    // workers 0: one per core.
    explicit WorkerPool(unsigned workers = 0);
    // Runs the tasks still queued, then ends the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()); }
    // Queues task; wake false leaves sleeping workers asleep until the next Wake (or a waking
    // Submit), so that a caller handing out many small tasks wakes them once for all.
    void Submit(std::function<void()> task, bool wake = true);
    void Wake();

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vantrel::ziplib
