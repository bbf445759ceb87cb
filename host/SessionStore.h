#pragma once
// Users' sessions, kept in memory and found by a cookie; idle sessions expire.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/asp/ScriptingContext.h"

namespace vantrel::host {

inline constexpr const char* kSessionCookie = "VANTRELSESSION";

class SessionStore {
  public:
    using Clock = std::chrono::steady_clock;

    // debug: every new session carries debugmode = "yes".
    explicit SessionStore(bool debug, Clock::duration idleLimit = std::chrono::minutes(20));

    // The live session with this id; a new one when there is none, and then newId is its id.
    std::shared_ptr<asp::Session> Find(const std::string& id, std::string& newId);

    size_t Count() const;

  private:
    struct Entry {
        std::shared_ptr<asp::Session> session;
        Clock::time_point lastUsed;
    };

    void ForgetExpired(Clock::time_point now);
    static std::string NewId();

    bool debug_;
    Clock::duration idleLimit_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry> sessions_;
};

}  // namespace vantrel::host
