#pragma once
// The progress callback the operations hand the zip library, and why it last stopped one.

#include <cstdint>
#include <string>

namespace vantrel {

// The progress callback handed to the library: writes "." and a line break into the current
// request's response and returns 0. It never lets an exception into the library: on failure it
// writes the description (when it still can) and returns 1, which stops the operation. It also
// returns 1 once the browser has gone (nobody would see the outcome) and, at once, once
// StopAllOperations (component/policy/OperationStop.h) has been called: the operation ends at that
// progress report with the library's "aborted" status, its archive unchanged.
int32_t ZipProgress(int32_t, int32_t, int32_t, int32_t, int32_t);

// Why ZipProgress last stopped an operation on this thread, as a sentence to follow "Operation
// aborted." (" The browser closed the connection."); empty when it stopped none. Forgets it.
std::string TakeAbortReason();

}  // namespace vantrel
