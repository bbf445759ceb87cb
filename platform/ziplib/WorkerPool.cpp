#include "platform/ziplib/WorkerPool.h"

#include <pthread.h>

#include <algorithm>

namespace vantrel::ziplib {

WorkerPool::WorkerPool(unsigned workers) {
    if (workers == 0) {
        workers = std::max(1u, std::thread::hardware_concurrency());
    }
    for (unsigned i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) {
        thread.join();
    }
}

void WorkerPool::Submit(std::function<void()> task) {
    bool wake;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        wake = ++unwoken_ >= kWakeBatch;
        if (wake) {
            unwoken_ = 0;
        }
    }
    if (wake) {
        wake_.notify_all();
    }
}

void WorkerPool::Wake() {
    size_t waiting;
    {
        std::lock_guard lock(mutex_);
        waiting = unwoken_;
        unwoken_ = 0;
    }
    if (waiting > 1) {
        wake_.notify_all();
    } else if (waiting == 1) {
        wake_.notify_one();
    }
}

void WorkerPool::Work() {
    pthread_setname_np(pthread_self(), "lszip-worker");
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace vantrel::ziplib
