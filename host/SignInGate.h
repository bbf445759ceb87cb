#pragma once
// A failed sign-in is answered only once its full answer time has passed (so that the time tells
// nothing about which accounts exist), and holds a host thread for as long. Only a few sign-ins
// run at once, and at most two from one address: a flood of guesses can hold up other sign-ins,
// but never the host's other work, and one address cannot take every place. A sign-in beyond
// that is told at once that the host is busy, before its name or password is looked at, so that
// answer says nothing about any account either.

#include <map>
#include <mutex>
#include <string>

namespace vantrel::host {

class SignInGate {
  public:
    SignInGate(int limit, int limitPerAddress) : limit_(limit), limitPerAddress_(limitPerAddress) {}

    // Holds a place for its lifetime once admitted.
    class Pass {
      public:
        Pass(SignInGate& gate, std::string address);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        bool Admitted() const { return admitted_; }

      private:
        SignInGate& gate_;
        std::string address_;
        bool admitted_;
    };

  private:
    bool TryEnter(const std::string& address);
    void Leave(const std::string& address);

    const int limit_;
    const int limitPerAddress_;
    std::mutex mutex_;
    int running_ = 0;
    std::map<std::string, int> byAddress_;  // only addresses with a sign-in running
};

}  // namespace vantrel::host
