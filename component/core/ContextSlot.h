#pragma once
// The module's slot for the scripting context of the request a thread is serving. OnStartPage fills
// it; page writers and the zip library's progress callback reach the request through it.

#include "platform/asp/ScriptingContext.h"

namespace vantrel {

void SetCurrentContext(asp::ScriptingContext* context);
// The calling thread's context, or null before any OnStartPage on this thread.
asp::ScriptingContext* CurrentContext();

}  // namespace vantrel
