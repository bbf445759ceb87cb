#include "secmgr/RegHandler.h"

#include "platform/registry/Registry.h"

namespace vantrel::secmgr {

namespace {

constexpr int kBufferSize = 1024;
// One less than the buffer, so the longest readable text is 1022 bytes plus its terminating NUL.
constexpr registry::LONG kQuerySize = kBufferSize - 1;

std::string KeyPathOf(const std::string& name) {
    return std::string(kSettingsKeyPath) + name;
}

}  // namespace

std::string ReadSetting(const std::string& name) {
    using namespace registry;
    std::string buffer(kBufferSize, '0');
    LONG size = kQuerySize;
    HKEY key = 0;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, KeyPathOf(name).c_str(), &key) != ERROR_SUCCESS) {
        return {};
    }
    LONG status = RegQueryValueA(key, nullptr, buffer.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size < 1) {
        return {};
    }
    // The returned size counts the terminating NUL.
    return buffer.substr(0, static_cast<size_t>(size - 1));
}

void WriteSetting(const std::string& name, const std::string& text, MessageBoxes& messages) {
    using namespace registry;
    HKEY key = 0;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, KeyPathOf(name).c_str(), &key) != ERROR_SUCCESS) {
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
