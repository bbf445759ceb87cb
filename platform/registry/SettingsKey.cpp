#include "platform/registry/SettingsKey.h"

#include "platform/registry/Registry.h"

namespace vantrel::registry {

namespace {

constexpr int kBufferSize = 1024;
// One less than the buffer, so the longest readable text is 1022 bytes plus its terminating NUL.
constexpr LONG kQuerySize = kBufferSize - 1;

}  // namespace

std::string ReadSettingText(const std::string& name) {
    try {
        std::string keyPath = std::string(kSettingsKeyPath) + name;
        std::string buffer(kBufferSize, '\0');
        LONG size = kQuerySize;
        HKEY key = 0;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), &key) != ERROR_SUCCESS) {
            return {};
        }
        LONG status = RegQueryValueA(key, nullptr, buffer.data(), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || size < 1) {
            return {};
        }
        // The returned size counts the terminating NUL.
        buffer.resize(static_cast<size_t>(size - 1));
        return buffer;
    } catch (...) {
        return {};
    }
}

}  // namespace vantrel::registry
