#pragma once
// The module's slot for the scripting context of the request a thread is serving. OnStartPage fills
// it; page writers and the zip library's progress callback reach the request through it.

#include "platform/asp/ScriptingContext.h"

namespace vantrel {

void SetCurrentContext(asp::ScriptingContext* context);
// The calling thread's context, or null before any OnStartPage on this thread and after its
// request ended.
asp::ScriptingContext* CurrentContext();

// Held by whoever serves a request for as long as the request lasts: when it ends, the thread's
// slot is emptied, so that nothing reaches the request's objects afterwards. (ShowPage leaves the
// slot alone: a page may call it again on the same object, and it writes its page again.)
class RequestScope {
  public:
    RequestScope() = default;
    ~RequestScope() { SetCurrentContext(nullptr); }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;
};

}  // namespace vantrel
