#include "host/SessionStore.h"

#include <cstdio>
#include <random>

namespace vantrel::host {

SessionStore::SessionStore(bool debug, Clock::duration idleLimit)
    : debug_(debug), idleLimit_(idleLimit) {}

std::shared_ptr<asp::Session> SessionStore::Find(const std::string& id, std::string& newId) {
    std::lock_guard lock(mutex_);
    auto now = Clock::now();
    ForgetExpired(now);
    if (auto it = sessions_.find(id); !id.empty() && it != sessions_.end()) {
        it->second.lastUsed = now;
        return it->second.session;
    }
    newId = NewId();
    auto session = std::make_shared<asp::Session>();
    if (debug_) {
        session->Set("debugmode", "yes");
    }
    sessions_[newId] = {session, now};
    return session;
}

size_t SessionStore::Count() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

void SessionStore::ForgetExpired(Clock::time_point now) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        it = (now - it->second.lastUsed > idleLimit_) ? sessions_.erase(it) : std::next(it);
    }
}

std::string SessionStore::NewId() {
    std::random_device random;  // the kernel's generator: ids must not be guessable
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    return id;
}

}  // namespace vantrel::host
