#pragma once
// The component as the web host uses it, and all that the host may include of it. A page request
// runs the component's object (ShowComponentPage); a call of an operation is named in the audit log
// as the component names it (AskedOperation) and reported by the component through the context's
// recordOperation; downloads and uploads go through Transfers; a stopping server ends the
// operations under way (StopAllOperations). The host's own pages escape values as the component's
// do (HtmlEscape).

#include "component/archive/Transfers.h"
#include "component/core/Escape.h"
#include "component/core/OperationCall.h"
#include "component/policy/OperationStop.h"
#include "platform/asp/ScriptingContext.h"
#include "platform/files/LockFolder.h"

namespace vantrel {

// Creates the component's object for one page request, hands it the request's context
// (OnStartPage) and calls ShowPage; the calling thread's context slot holds the request for that
// long. False when the page reported a failure.
bool ShowComponentPage(asp::ScriptingContext& context);

// Binds both sides of the zip library now, with the caller's rights (the accounts a host works for
// need not be able to read them). Throws std::runtime_error naming a file or function that is
// missing.
void LoadZipLibrary();

// Removes the lock files of the operation queue in folder that processes now ended left behind.
void RemoveLocksOfEndedProcesses(const platform::LockFolder& folder);

// True when the stop of the server aborted the operation the record reports.
bool AbortedByStop(const asp::OperationRecord& record);

}  // namespace vantrel
