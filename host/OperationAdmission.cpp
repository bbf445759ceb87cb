#include "host/OperationAdmission.h"

namespace vantrel::host {

bool OperationAdmission::TryEnter() {
    int running = running_.load();
    while (running < limit_) {
        if (running_.compare_exchange_weak(running, running + 1)) {
            return true;
        }
    }
    return false;
}

void OperationAdmission::Leave() {
    --running_;
}

}  // namespace vantrel::host
