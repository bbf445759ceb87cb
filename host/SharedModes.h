#pragma once
// While a SharedModes lives, new files and folders get the usual modes (0644, 0755) whatever umask
// the service runs with: the host's start-up folders and help page are shared by every account,
// while a stricter umask (the unit's 0027) still keeps the users' own files to themselves.

#include <sys/stat.h>

namespace vantrel::host {

class SharedModes {
  public:
    SharedModes() : saved_(::umask(022)) {}
    ~SharedModes() { ::umask(saved_); }
    SharedModes(const SharedModes&) = delete;
    SharedModes& operator=(const SharedModes&) = delete;

  private:
    mode_t saved_;
};

}  // namespace vantrel::host
