#pragma once
// Slows down password guessing: after 5 failed sign-ins for one account, or from one address,
// within 15 minutes, further attempts for it are refused for 60 seconds, whatever the password.
// Each failure while 5 or more lie within the window renews the minute.

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vantrel::host {

class SignInThrottle {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    bool IsLockedOut(const std::string& account, const std::string& address, TimePoint now);
    void RecordFailure(const std::string& account, const std::string& address, TimePoint now);
    // The account's failures are forgiven; its address's are not, so a user who signs in with
    // their own account cannot go on guessing others' passwords.
    void RecordSuccess(const std::string& account);

  private:
    struct Failures {
        std::deque<TimePoint> times;  // within the window, oldest first
        TimePoint lockedUntil{};
    };

    bool Locked(const std::string& key, TimePoint now);
    void Fail(const std::string& key, TimePoint now);
    void KeepBounded(TimePoint now);

    std::mutex mutex_;
    std::unordered_map<std::string, Failures> failures_;
};

}  // namespace vantrel::host
