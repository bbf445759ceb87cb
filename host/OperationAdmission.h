#pragma once
// Operation requests may wait a long time for their slot, each holding a host thread. At most a
// fixed number of them run at once, so the other threads stay free for page requests and no
// user's page waits behind a queue of operations.

#include <atomic>

namespace vantrel::host {

class OperationAdmission {
  public:
    explicit OperationAdmission(int limit) : limit_(limit) {}

    // Takes a place without waiting; false when all places are taken.
    bool TryEnter();
    void Leave();
    int Running() const { return running_; }

    // Holds a place for its lifetime once admitted.
    class Ticket {
      public:
        explicit Ticket(OperationAdmission& admission)
            : admission_(admission), admitted_(admission.TryEnter()) {}
        ~Ticket() {
            if (admitted_) {
                admission_.Leave();
            }
        }
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        bool Admitted() const { return admitted_; }

      private:
        OperationAdmission& admission_;
        bool admitted_;
    };

  private:
    const int limit_;
    std::atomic<int> running_ = 0;
};

}  // namespace vantrel::host
