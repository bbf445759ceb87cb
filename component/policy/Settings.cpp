// Reading the administrator's settings from the registry.
#include "component/core/Farbale.h"
#include "component/policy/SettingsStore.h"
#include "platform/registry/Registry.h"

namespace vantrel {

std::string ReadSettingText(const std::string& name) {
    using namespace registry;
    std::string keyPath = std::string(kSettingsKey) + name;
    char buffer[1024] = {};
    LONG size = 1023;
    HKEY key = 0;
    LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), &key);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueA(key, nullptr, buffer, &size);
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS && size >= 1) {
        return std::string(buffer, static_cast<size_t>(size - 1));
    }
    // Missing means "not set"; so does a text too long for the buffer, as it always has.
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA) {
        return {};
    }
    throw SettingUnreadable(name);
}

std::string Farbale::ReadSetting(const std::string& name) {
    return ReadSettingText(name);
}

bool Farbale::SettingIsSet(const std::string& name) {
    return ReadSetting(name) == "1";
}

}  // namespace vantrel
