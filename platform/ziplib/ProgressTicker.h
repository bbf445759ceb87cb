#pragma once
// Rate-limits the caller's progress callback: one call when the work starts, then at most one per
// interval, however many entries or buffers pass. A nonzero answer stops the work.

#include <chrono>
#include <cstdint>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

class ProgressTicker {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressTicker(ZipProgressFn callback,
                            Clock::duration interval = std::chrono::seconds(1));

    // Reports done of total (entries, or any unit the caller counts); returns false once the
    // callback has asked to stop, and from then on without calling it again.
    bool Tick(int64_t done, int64_t total);
    bool Aborted() const { return aborted_; }
    int32_t Calls() const { return calls_; }

  private:
    ZipProgressFn callback_;
    Clock::duration interval_;
    Clock::time_point lastCall_{};
    bool started_ = false;
    bool aborted_ = false;
    int32_t calls_ = 0;
};

}  // namespace vantrel::ziplib
