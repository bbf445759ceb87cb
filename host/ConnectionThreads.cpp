#include "host/ConnectionThreads.h"

#include <system_error>
#include <thread>

namespace vantrel::host {

void ConnectionThreads::enqueue(std::function<void()> connection) {
    std::unique_lock lock(mutex_);
    ++running_;
    try {
        std::thread(&ConnectionThreads::Serve, this, std::move(connection)).detach();
    } catch (const std::system_error&) {
        --running_;
        if (running_ > 0) {
            waiting_.push_back(std::move(connection));
            return;
        }
        // No thread of the host's left to take it over: the accepting thread serves it.
        lock.unlock();
        connection();
    }
}

void ConnectionThreads::Serve(std::function<void()> connection) {
    for (;;) {
        connection();
        std::lock_guard lock(mutex_);
        if (waiting_.empty()) {
            --running_;
            ended_.notify_all();
            return;
        }
        connection = std::move(waiting_.front());
        waiting_.pop_front();
    }
}

void ConnectionThreads::shutdown() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return running_ == 0; });
}

}  // namespace vantrel::host
