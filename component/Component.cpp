#include "component/Component.h"

#include "component/archive/ZipLibrary.h"
#include "component/core/ContextSlot.h"
#include "component/core/Farbale.h"
#include "component/policy/QueueLocks.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

bool ShowComponentPage(asp::ScriptingContext& context) {
    RequestScope scope;
    Farbale component;
    component.OnStartPage(context);
    return component.ShowPage();
}

void LoadZipLibrary() {
    lszip::LSZIP_VER();
    lszip::LSUZ_VER();
}

void RemoveLocksOfEndedProcesses(const platform::LockFolder& folder) {
    RemoveDeadLocks(folder);
}

bool AbortedByStop(const asp::OperationRecord& record) {
    return OperationsStopped() && record.status == LSZIP_E_ABORTED;
}

}  // namespace vantrel
