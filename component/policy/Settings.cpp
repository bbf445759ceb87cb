// Reading the administrator's settings from the registry.
#include "component/core/Farbale.h"
#include "component/policy/SettingsStore.h"

namespace vantrel {

std::string ReadSettingText(const std::string& name) {
    if (auto text = registry::ReadStoredSetting(name)) {
        return *text;
    }
    throw SettingUnreadable(name);
}

std::string Farbale::ReadSetting(const std::string& name) {
    return ReadSettingText(name);
}

bool SettingIsSet(const std::string& name) {
    return ReadSettingText(name) == "1";
}

}  // namespace vantrel
