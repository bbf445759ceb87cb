#include "host/SignInThrottle.h"

namespace vantrel::host {

namespace {

constexpr auto kWindow = std::chrono::minutes(15);
constexpr auto kLockout = std::chrono::seconds(60);
constexpr size_t kFailuresForAnAccount = 5;  // from one address
constexpr size_t kFailuresFromAnAddress = 20;
// Names and addresses kept at most; guessing with ever new names cannot fill the memory.
constexpr size_t kMaxKeys = 20000;

// An address holds no line break, so no two pairs share a key.
std::string PairKey(const std::string& account, const std::string& address) {
    return "pair:" + address + "\n" + account;
}

std::string AddressKey(const std::string& address) {
    return "address:" + address;
}

}  // namespace

bool SignInThrottle::IsLockedOut(const std::string& account, const std::string& address,
                                 TimePoint now) {
    std::lock_guard lock(mutex_);
    return Locked(PairKey(account, address), now) || Locked(AddressKey(address), now);
}

void SignInThrottle::RecordFailure(const std::string& account, const std::string& address,
                                   TimePoint now) {
    std::lock_guard lock(mutex_);
    KeepBounded(now);
    Fail(PairKey(account, address), kFailuresForAnAccount, now);
    Fail(AddressKey(address), kFailuresFromAnAddress, now);
}

void SignInThrottle::RecordSuccess(const std::string& account, const std::string& address) {
    std::lock_guard lock(mutex_);
    failures_.erase(PairKey(account, address));
}

bool SignInThrottle::Locked(const std::string& key, TimePoint now) {
    auto it = failures_.find(key);
    return it != failures_.end() && now < it->second.lockedUntil;
}

void SignInThrottle::Fail(const std::string& key, size_t bound, TimePoint now) {
    Failures& failures = failures_[key];
    failures.times.push_back(now);
    while (failures.times.size() > bound || now - failures.times.front() > kWindow) {
        failures.times.pop_front();
    }
    if (failures.times.size() >= bound) {
        failures.lockedUntil = now + kLockout;
    }
}

// Forgets first the keys whose failures have all left the window, then those not locked out now;
// running lockouts are kept as long as anything else can go.
void SignInThrottle::KeepBounded(TimePoint now) {
    if (failures_.size() < kMaxKeys) {
        return;
    }
    std::erase_if(failures_, [now](const auto& item) {
        const Failures& failures = item.second;
        return now >= failures.lockedUntil && now - failures.times.back() > kWindow;
    });
    if (failures_.size() >= kMaxKeys) {
        std::erase_if(failures_,
                      [now](const auto& item) { return now >= item.second.lockedUntil; });
    }
    if (failures_.size() >= kMaxKeys) {
        failures_.clear();
    }
}

}  // namespace vantrel::host
