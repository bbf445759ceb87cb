#pragma once
// Users' sessions, kept in memory and found by a cookie. A session ends after 20 minutes without a
// request and 12 hours after it began, whatever its use. The store is bounded: when full, the
// least recently used session makes room. Sessions are kept in order of use, so expiry only ever
// looks at the oldest end and no request pays for a scan of them all.

#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/SignedInAccount.h"
#include "platform/asp/ScriptingContext.h"

namespace vantrel::host {

inline constexpr const char* kSessionCookie = "VANTRELSESSION";

struct SessionLimits {
    std::chrono::steady_clock::duration idle = std::chrono::minutes(20);
    std::chrono::steady_clock::duration lifetime = std::chrono::hours(12);
    size_t capacity = 10000;
};

class SessionStore {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    struct Found {
        std::shared_ptr<asp::Session> session;
        std::shared_ptr<const SignedInAccount> account;  // null for a session without sign-in
    };

    // debug: every new session carries debugmode = "yes".
    explicit SessionStore(bool debug, SessionLimits limits = {},
                          Clock clock = std::chrono::steady_clock::now);

    // The live session with this id, now counted as used; nullopt when there is none.
    std::optional<Found> Find(const std::string& id);
    // Begins a session with a fresh id (never one handed out before) and gives back the id.
    std::string Start(std::shared_ptr<const SignedInAccount> account);
    void End(const std::string& id);
    // Ends every signed-in session whose account ends() picks; gives back their accounts.
    std::vector<std::shared_ptr<const SignedInAccount>> EndWhere(
        const std::function<bool(const SignedInAccount&)>& ends);

  private:
    struct Entry {
        std::string id;
        Found found;
        TimePoint began;
        TimePoint lastUsed;
    };
    using Order = std::list<Entry>;  // most recently used first

    void ForgetIdle(TimePoint now);
    void Erase(Order::iterator entry);

    const bool debug_;
    const SessionLimits limits_;
    const Clock clock_;
    mutable std::mutex mutex_;
    Order order_;
    std::unordered_map<std::string, Order::iterator> byId_;
};

}  // namespace vantrel::host
