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

// A thread that must sleep until a task of its own is done sleeps until this many more are done
// as well: handing results over one by one would wake it (and cost a switch) for every one.
inline constexpr size_t kWakeBatch = 8;

class WorkerPool {
  public:
    // workers 0: one per core.
    explicit WorkerPool(unsigned workers = 0);
    // Runs the tasks still queued, then ends the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()); }
    // Queues task. Sleeping workers are woken once a few tasks wait for them (a wake-up per
    // small task would cost more than the task), or by Wake: a thread that is about to wait for
    // a task's end calls it first.
    void Submit(std::function<void()> task);
    void Wake();

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    size_t unwoken_ = 0;  // tasks queued since the workers were last woken
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vantrel::ziplib
