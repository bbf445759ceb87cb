#include "component/archive/OperationHooks.h"

#include <cerrno>
#include <utility>

namespace vantrel {

namespace {
thread_local OperationHooks* t_hooks = nullptr;
}  // namespace

ScopedOperationHooks::ScopedOperationHooks(OperationHooks hooks)
    : previous_(t_hooks), hooks_(std::move(hooks)) {
    t_hooks = &hooks_;
}

ScopedOperationHooks::~ScopedOperationHooks() {
    t_hooks = previous_;
}

int32_t LocationCheck(const char* realPath) {
    try {
        return t_hooks && t_hooks->allow && t_hooks->allow(realPath) ? 1 : 0;
    } catch (...) {
        return 0;  // never an exception into the library; an unanswered question refuses
    }
}

int32_t LeftOutReport(int32_t code, const char* name) {
    int systemError = errno;  // the library's reason, for as long as this call lasts
    try {
        if (t_hooks && t_hooks->leftOut) {
            t_hooks->leftOut(code, systemError, name);
        }
    } catch (...) {
    }
    return 0;
}

}  // namespace vantrel
