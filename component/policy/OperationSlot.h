#pragma once
// An operation's hold on its slot of the operation queue: taken by waiting for it, and freed when
// the hold ends, on every way out of the operation, a thrown error included. Releasing twice does
// nothing, so the library's run may free the slot before the hold ends.

#include "component/core/Farbale.h"

namespace vantrel {

class OperationSlot {
  public:
    OperationSlot(Farbale& component, OperationKind kind) : component_(component), kind_(kind) {}
    ~OperationSlot();
    OperationSlot(const OperationSlot&) = delete;
    OperationSlot& operator=(const OperationSlot&) = delete;

    // Waits for the slot (WaitForOperationSlot); false, with the apology written, when the queue
    // stayed busy for the whole wait.
    bool Take();

  private:
    Farbale& component_;
    OperationKind kind_;
};

}  // namespace vantrel
