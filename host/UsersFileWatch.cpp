#include "host/UsersFileWatch.h"

namespace vantrel::host {

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

UsersFileWatch::UsersFileWatch(std::filesystem::path file) : file_(std::move(file)) {
    Changed();
}

void UsersFileWatch::Look(bool always, const std::function<void()>& reload) {
    std::lock_guard lock(mutex_);
    if (Changed() || always) {
        reload();
    }
}

bool UsersFileWatch::Changed() {
    struct stat now {};
    if (::stat(file_.c_str(), &now) != 0) {
        now = {};  // gone: a change once, then as seen
    }
    bool changed = now.st_dev != seen_.st_dev || now.st_ino != seen_.st_ino ||
                   now.st_size != seen_.st_size || now.st_mode != seen_.st_mode ||
                   now.st_uid != seen_.st_uid || !SameTime(now.st_mtim, seen_.st_mtim) ||
                   !SameTime(now.st_ctim, seen_.st_ctim);
    seen_ = now;
    return changed;
}

}  // namespace vantrel::host
