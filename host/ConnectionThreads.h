#pragma once
// The web server library's task queue for the host: every connection is served on a thread of its
// own, started at once, so no request waits behind slow or idle connections (the ConnectionTable
// keeps their number within its limits). The threads keep the system's default stack size: the
// library matches each request's path with std::regex, which needs several megabytes of stack for
// a long one, and a stack costs only the memory its thread touches.

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace vantrel::host {

class ConnectionThreads : public httplib::TaskQueue {
  public:
    // Starts a thread for the connection; when the system will start no more, the connection
    // waits for the next thread to finish its own.
    void enqueue(std::function<void()> connection) override;
    // Waits until every connection's thread has ended.
    void shutdown() override;

  private:
    void Serve(std::function<void()> connection);

    std::mutex mutex_;
    std::condition_variable ended_;
    size_t running_ = 0;
    std::deque<std::function<void()>> waiting_;
};

}  // namespace vantrel::host
