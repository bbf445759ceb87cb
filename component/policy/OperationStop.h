#pragma once
// The stop of a server that is shutting down and has waited long enough for its operations: every
// running operation ends at its next progress report with the library's "aborted" status, its
// archive unchanged, and every wait for an operation slot ends at once. There is no way back; the
// process is expected to end.

namespace vantrel {

void StopAllOperations();
bool OperationsStopped();

}  // namespace vantrel
