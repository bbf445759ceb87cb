#include "host/SignInGate.h"

namespace vantrel::host {

SignInGate::Pass::Pass(SignInGate& gate, std::string address)
    : gate_(gate), address_(std::move(address)), admitted_(gate.TryEnter(address_)) {}

SignInGate::Pass::~Pass() {
    if (admitted_) {
        gate_.Leave(address_);
    }
}

bool SignInGate::TryEnter(const std::string& address) {
    std::lock_guard lock(mutex_);
    auto found = byAddress_.find(address);
    if (running_ >= limit_ || (found != byAddress_.end() && found->second >= limitPerAddress_)) {
        return false;
    }
    ++running_;
    ++byAddress_[address];
    return true;
}

void SignInGate::Leave(const std::string& address) {
    std::lock_guard lock(mutex_);
    --running_;
    if (--byAddress_[address] == 0) {
        byAddress_.erase(address);
    }
}

}  // namespace vantrel::host
