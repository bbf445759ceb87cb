#include "platform/registry/SettingsKey.h"

#include "platform/registry/Registry.h"

namespace vantrel::registry {

namespace {

constexpr int kBufferSize = 1024;
// One less than the buffer, so the longest readable text is 1022 bytes plus its terminating NUL.
constexpr LONG kQuerySize = kBufferSize - 1;

}  // namespace

StoredSetting LookUpSetting(const std::string& name) {
    using State = StoredSetting::State;
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
            return {State::Stored, buffer};
        }
        // A text too long for the buffer is a stored setting that reads as empty, not a failure.
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            return {State::Stored, ""};
        }
        return {status == ERROR_FILE_NOT_FOUND ? State::NotSet : State::Unreadable, ""};
    } catch (...) {
        return {State::Unreadable, ""};
    }
}

std::optional<std::string> ReadStoredSetting(const std::string& name) {
    StoredSetting setting = LookUpSetting(name);
    if (setting.state == StoredSetting::State::Unreadable) {
        return std::nullopt;
    }
    return setting.text;
}

}  // namespace vantrel::registry
