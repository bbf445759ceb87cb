#pragma once
// What the host does on the signals a service manager and logrotate send. SIGTERM and SIGINT stop
// it: no new connections, the requests being served go on, and operations still running after the
// stop time-out are aborted (a second SIGTERM or SIGINT aborts them at once). SIGHUP reopens the
// log files and reads the users file again. The signals are taken by a thread of their own, never
// by a handler that interrupts a request.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace vantrel::host {

class SignalWatcher {
  public:
    struct Actions {
        std::function<void()> stop;        // called on the first stop signal, and again until ended
        std::function<void()> abort;       // called once the stop has waited long enough
        std::function<void()> reopenLogs;  // called on every SIGHUP
    };

    // Keeps SIGTERM, SIGINT and SIGHUP from the calling thread and every thread it starts later,
    // so only the watcher takes them. Call before any other thread starts.
    static void BlockSignals();

    SignalWatcher(std::chrono::seconds stopTimeout, Actions actions);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    void Watch();

    std::chrono::seconds stopTimeout_;
    Actions actions_;
    std::atomic<bool> ending_ = false;
    std::thread thread_;
};

}  // namespace vantrel::host
