#pragma once
// Slows down password guessing: after 5 failed sign-ins for one account from one address, or 20
// from one address for any accounts, within 15 minutes, further attempts for that account from
// that address (or from that address at all) are refused for 60 seconds, whatever the password.
// Each failure while the bound is reached renews the minute. An account is never locked as such:
// failures from one address never keep its owner out from another.

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
    // The account's failures from the address are forgiven; the address's own are not, so a user
    // who signs in with their own account cannot go on guessing others' passwords.
    void RecordSuccess(const std::string& account, const std::string& address);

  private:
    struct Failures {
        std::deque<TimePoint> times;  // within the window, oldest first
        TimePoint lockedUntil{};
    };

    bool Locked(const std::string& key, TimePoint now);
    void Fail(const std::string& key, size_t bound, TimePoint now);
    void KeepBounded(TimePoint now);

    std::mutex mutex_;
    std::unordered_map<std::string, Failures> failures_;
};

}  // namespace vantrel::host
