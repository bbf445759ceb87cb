#pragma once
// Notices that the users file has changed (another file put in its place, another size, time or
// mode) with one look at its status, so the host hears of an edit at its next request: the users
// it no longer names are signed out at once. SIGHUP makes the host read it again in any case.

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <mutex>

namespace vantrel::host {

class UsersFileWatch {
  public:
    // Takes the file as it is now as seen.
    explicit UsersFileWatch(std::filesystem::path file);

    // Runs reload when the file is no longer as last seen, or always when asked to. Callers wait
    // while reload runs, so none goes on with what the change has ended.
    void Look(bool always, const std::function<void()>& reload);

  private:
    bool Changed();

    std::filesystem::path file_;
    std::mutex mutex_;
    struct stat seen_ {};
};

}  // namespace vantrel::host
