#include "secmgr/RegHandler.h"

#include <stdexcept>

#include "platform/registry/Registry.h"
#include "platform/registry/SettingsKey.h"

namespace vantrel::secmgr {

std::string ReadSetting(const std::string& name) {
    if (auto text = registry::ReadStoredSetting(name)) {
        return *text;
    }
    throw std::runtime_error("The setting " + name + " cannot be read; nothing was stored.");
}

void WriteSetting(const std::string& name, const std::string& text, MessageBoxes& messages) {
    using namespace registry;
    std::string keyPath = std::string(kSettingsKeyPath) + name;
    HKEY key = 0;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), &key) != ERROR_SUCCESS) {
        messages.Show(kCannotSetMessage, MessageIcon::Exclamation, "Error");
        return;
    }
    LONG status = RegSetValueA(key, nullptr, REG_SZ, text.c_str(), static_cast<DWORD>(text.size()));
    RegCloseKey(key);
    // A value that could not be stored is reported like a key that could not be created: the
    // administrator must not believe a setting is in force when it is not.
    if (status != ERROR_SUCCESS) {
        messages.Show(kCannotSetMessage, MessageIcon::Exclamation, "Error");
    }
}

}  // namespace vantrel::secmgr
