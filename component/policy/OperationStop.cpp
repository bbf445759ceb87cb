#include "component/policy/OperationStop.h"

#include <atomic>

#include "component/policy/SlotWake.h"

namespace vantrel {

namespace {
std::atomic<bool> g_stopped = false;
}  // namespace

void StopAllOperations() {
    g_stopped = true;
    SlotWake::Instance().Notify();  // the waits for a slot end now, not at their next look
}

bool OperationsStopped() {
    return g_stopped;
}

}  // namespace vantrel
