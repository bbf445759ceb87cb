#pragma once
// Test support for the path policy and the operation queue: one component object with a request
// context of its own whose response is collected in a string, and access to the private checks.

#include <string>

#include "component/core/Farbale.h"
#include "component/core/PageHarness.h"

namespace vantrel {

struct PolicyTestTag;

template <>
struct FarbaleTestAccess<PolicyTestTag> {
    static bool CheckPathAccess(Farbale& f, const std::string& path) {
        return f.CheckPathAccess(path);
    }
    static bool MatchPathList(Farbale& f, const std::string& path, const std::string& list,
                              PathListMode mode) {
        return f.MatchPathList(path, list, mode);
    }
    static bool WaitForOperationSlot(Farbale& f, OperationKind kind) {
        return f.WaitForOperationSlot(kind);
    }
    static void ReleaseOperationSlot(Farbale& f, OperationKind kind) {
        f.ReleaseOperationSlot(kind);
    }
    static bool LockFileIsLive(Farbale& f, OperationKind kind) { return f.LockFileIsLive(kind); }
    static void Prepare(Farbale& f, bool debug) {
        f.strNewLine = "\r\n";
        f.blnDebugMode = debug;
    }
    static void SetPeriods(Farbale& f, int32_t waitFor, int32_t timeOut) {
        f.WaitForSeconds = waitFor;
        f.TimeOutSeconds = timeOut;
    }
    static void SetTempDir(Farbale& f, const std::string& tempDir) { f.TempDir = tempDir; }
};

namespace testing {

using PolicyAccess = FarbaleTestAccess<PolicyTestTag>;

// One request's component object. Bind() on the thread that calls it, before each use there.
class PolicyRequest : public CollectedRequest {
  public:
    explicit PolicyRequest(bool debug = false) {
        PolicyAccess::Prepare(component, debug);
        Bind();
    }

    Farbale component;
};

}  // namespace testing
}  // namespace vantrel
