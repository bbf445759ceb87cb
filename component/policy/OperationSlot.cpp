#include "component/policy/OperationSlot.h"

namespace vantrel {

OperationSlot::~OperationSlot() {
    try {
        component_.ReleaseOperationSlot(kind_);
    } catch (...) {
        // A lock file that cannot be removed goes stale with its time-out.
    }
}

bool OperationSlot::Take() {
    return !component_.WaitForOperationSlot(kind_);
}

}  // namespace vantrel
