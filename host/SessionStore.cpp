#include "host/SessionStore.h"

#include "host/RandomToken.h"

namespace vantrel::host {

SessionStore::SessionStore(bool debug, SessionLimits limits, Clock clock)
    : debug_(debug), limits_(limits), clock_(std::move(clock)) {}

std::optional<SessionStore::Found> SessionStore::Find(const std::string& id) {
    std::lock_guard lock(mutex_);
    TimePoint now = clock_();
    ForgetIdle(now);
    auto it = byId_.find(id);
    if (id.empty() || it == byId_.end()) {
        return std::nullopt;
    }
    Order::iterator entry = it->second;
    if (now - entry->began > limits_.lifetime) {
        Erase(entry);
        return std::nullopt;
    }
    entry->lastUsed = now;
    order_.splice(order_.begin(), order_, entry);
    return entry->found;
}

std::string SessionStore::Start(std::shared_ptr<const SignedInAccount> account) {
    auto session = std::make_shared<asp::Session>();
    if (debug_) {
        session->Set("debugmode", "yes");
    }
    std::lock_guard lock(mutex_);
    TimePoint now = clock_();
    ForgetIdle(now);
    std::string id;
    do {
        id = RandomToken();
    } while (byId_.count(id));
    order_.push_front({id, {std::move(session), std::move(account)}, now, now});
    byId_[id] = order_.begin();
    while (order_.size() > limits_.capacity) {
        Erase(std::prev(order_.end()));
    }
    return id;
}

void SessionStore::End(const std::string& id) {
    std::lock_guard lock(mutex_);
    if (auto it = byId_.find(id); it != byId_.end()) {
        Erase(it->second);
    }
}

std::vector<std::shared_ptr<const SignedInAccount>> SessionStore::EndWhere(
    const std::function<bool(const SignedInAccount&)>& ends) {
    std::vector<std::shared_ptr<const SignedInAccount>> ended;
    std::lock_guard lock(mutex_);
    for (auto entry = order_.begin(); entry != order_.end();) {
        auto next = std::next(entry);
        if (entry->found.account && ends(*entry->found.account)) {
            ended.push_back(entry->found.account);
            Erase(entry);
        }
        entry = next;
    }
    return ended;
}

void SessionStore::ForgetIdle(TimePoint now) {
    while (!order_.empty() && now - order_.back().lastUsed > limits_.idle) {
        Erase(std::prev(order_.end()));
    }
}

void SessionStore::Erase(Order::iterator entry) {
    byId_.erase(entry->id);
    order_.erase(entry);
}

}  // namespace vantrel::host
