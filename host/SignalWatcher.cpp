#include "host/SignalWatcher.h"

#include <signal.h>

#include <cerrno>
#include <optional>

namespace vantrel::host {

namespace {

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void SignalWatcher::BlockSignals() {
    sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(std::chrono::seconds stopTimeout, Actions actions)
    : stopTimeout_(stopTimeout), actions_(std::move(actions)), thread_([this] { Watch(); }) {}

SignalWatcher::~SignalWatcher() {
    ending_ = true;
    thread_.join();
}

void SignalWatcher::Watch() {
    using Clock = std::chrono::steady_clock;
    const sigset_t set = WatchedSignals();
    // Short waits, so the watcher notices its end and the stop's deadline without a signal.
    const timespec slice{0, 200 * 1000 * 1000};
    std::optional<Clock::time_point> abortAt;
    bool aborted = false;
    while (!ending_) {
        int signal = sigtimedwait(&set, nullptr, &slice);
        if (signal == SIGHUP) {
            actions_.reopenLogs();
        } else if (signal == SIGTERM || signal == SIGINT) {
            // The first asks for a stop; the next one will not wait any longer.
            abortAt = abortAt ? Clock::now() : Clock::now() + stopTimeout_;
        }
        if (!abortAt) {
            continue;
        }
        actions_.stop();
        if (!aborted && Clock::now() >= *abortAt) {
            actions_.abort();
            aborted = true;
        }
    }
}

}  // namespace vantrel::host
