#include "component/core/ContextSlot.h"

namespace vantrel {

namespace {
thread_local asp::ScriptingContext* t_context = nullptr;
}

void SetCurrentContext(asp::ScriptingContext* context) {
    t_context = context;
}

asp::ScriptingContext* CurrentContext() {
    return t_context;
}

}  // namespace vantrel
