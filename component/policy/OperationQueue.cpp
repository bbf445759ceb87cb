// One zip and one unzip operation at a time, through lock files.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::WaitForOperationSlot(OperationKind) { return true; }

void Farbale::ReleaseOperationSlot(OperationKind) {}

bool Farbale::LockFileIsLive(OperationKind) { return true; }

void Farbale::CreateLockFile(OperationKind) {}

}  // namespace vantrel
