#include "component/archive/ZipProgress.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "component/core/ContextSlot.h"
#include "component/policy/OperationStop.h"

namespace vantrel {

namespace {
thread_local std::string t_abortReason;

int32_t StopBecause(const char* reason) {
    t_abortReason = reason;
    return 1;
}
}  // namespace

int32_t ZipProgress(int32_t, int32_t, int32_t, int32_t, int32_t) {
    if (OperationsStopped()) {
        return StopBecause(" The server is stopping.");
    }
    try {
        asp::ScriptingContext* context = CurrentContext();
        if (!context) {
            throw std::runtime_error("There is no request to report progress to.");
        }
        context->response.Write(".\r\n");
        context->response.Flush();  // the dot shows the browser that the work goes on: now
        if (!context->response.IsClientConnected()) {
            return StopBecause(" The browser closed the connection.");
        }
        return 0;
    } catch (const std::exception& error) {
        try {
            if (asp::ScriptingContext* context = CurrentContext()) {
                context->response.Write(std::string(error.what()) + "\r\n");
            }
        } catch (...) {
        }
        return 1;
    } catch (...) {
        return 1;
    }
}

std::string TakeAbortReason() {
    return std::exchange(t_abortReason, std::string());
}

}  // namespace vantrel
