#pragma once
// What the zip library asks and tells the operation under way on the calling thread.

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// What an operation answers when the zip library asks whether a real location may be used, and what
// it does with each file or entry the library leaves out. Installed for the calling thread while a
// ScopedOperationHooks lives; the library reaches them through LocationCheck and LeftOutReport.
struct OperationHooks {
    std::function<bool(const std::string& realPath)> allow;
    // systemError: the file system's reason (an errno value) when it refused the file, else 0.
    std::function<void(int32_t code, int systemError, const std::string& name)> leftOut;
};

class ScopedOperationHooks {
  public:
    explicit ScopedOperationHooks(OperationHooks hooks);
    ~ScopedOperationHooks();
    ScopedOperationHooks(const ScopedOperationHooks&) = delete;
    ScopedOperationHooks& operator=(const ScopedOperationHooks&) = delete;

  private:
    OperationHooks* previous_;
    OperationHooks hooks_;
};

// Handed to the library: ask and tell the calling thread's hooks. Without hooks every location is
// refused, so a stale registration can never let a path through.
int32_t LocationCheck(const char* realPath);
int32_t LeftOutReport(int32_t code, const char* name);

}  // namespace vantrel
