// The administrator's switches that turn an operation or one of its options off.
#include "component/core/Farbale.h"
#include "component/policy/SettingsStore.h"

namespace vantrel {

bool Farbale::RefuseWhenDisabled(const char* setting, std::string_view refusal) {
    if (!SettingIsSet(setting)) {
        return false;
    }
    Write(refusal);
    return true;
}

}  // namespace vantrel
