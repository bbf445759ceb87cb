#include "platform/registry/SettingsKey.h"

#include "platform/registry/Registry.h"

namespace vantrel::registry {

namespace {

constexpr int kBufferSize = 1024;
// One less than the buffer, so the longest readable text is 1022 bytes plus its terminating NUL.
constexpr LONG kQuerySize = kBufferSize - 1;

}  // namespace

std::optional<std::string> ReadStoredSetting(const std::string& name) {
    try {
        std::string keyPath = std::string(kSettingsKeyPath) + name;
        std::string buffer(kBufferSize, '\0');
        LONG size = kQuerySize;
        HKEY key = 0;
        LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), &key);
        if (status == ERROR_SUCCESS) {
            status = RegQueryValueA(key, nullptr, buffer.data(), &size);
            RegCloseKey(key);
        }
        if (status == ERROR_SUCCESS && size >= 1) {
            // The returned size counts the terminating NUL.
            buffer.resize(static_cast<size_t>(size - 1));
            return buffer;
        }
        // Missing means "not set"; so does a text too long for the buffer, as it always has.
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA) {
            return std::string();
        }
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

std::string ReadSettingText(const std::string& name) {
    return ReadStoredSetting(name).value_or("");
}

}  // namespace vantrel::registry
