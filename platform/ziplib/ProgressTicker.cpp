#include "platform/ziplib/ProgressTicker.h"

#include <algorithm>

namespace vantrel::ziplib {

ProgressTicker::ProgressTicker(ZipProgressFn callback, Clock::duration interval)
    : callback_(callback), interval_(interval) {}

bool ProgressTicker::Tick(int64_t done, int64_t total) {
    if (aborted_) {
        return false;
    }
    if (!callback_) {
        return true;
    }
    auto now = Clock::now();
    if (started_ && now - lastCall_ < interval_) {
        return true;
    }
    started_ = true;
    lastCall_ = now;
    ++calls_;
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX));
    };
    int32_t percent = total > 0 ? clamp(done * 100 / total) : 0;
    aborted_ = callback_(clamp(done), clamp(total), percent, 0, 0) != 0;
    return !aborted_;
}

}  // namespace vantrel::ziplib
