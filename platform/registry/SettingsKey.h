#pragma once
// Where the administrator's settings live, and the one reader that the web component and the
// settings dialog share: each setting is a subkey of the settings key below HKEY_LOCAL_MACHINE,
// and its text is that subkey's default value.

#include <optional>
#include <string>

namespace vantrel::registry {

// Key names compare without regard to case, so "Software\..." addresses the same key.
inline constexpr const char* kSettingsKeyPath = "SOFTWARE\\Quillfen\\Farbale\\";

// What the store holds for a setting.
struct StoredSetting {
    enum class State {
        Stored,      // text is the value as the readers see it
        NotSet,      // no such key or value
        Unreadable,  // something is there that cannot be read (no permission, a folder for a value)
    };
    State state = State::NotSet;
    // Exactly as stored (not trimmed); empty when the text has 1023 bytes or more.
    std::string text;
};

// Looks the setting up. Never throws.
StoredSetting LookUpSetting(const std::string& name);

// The setting's stored text, exactly as stored (not trimmed); empty when it is not set (no such
// key or value) or its text has 1023 bytes or more. nullopt when the store holds something that
// cannot be read (no permission, a folder where the value should be). Never throws.
std::optional<std::string> ReadStoredSetting(const std::string& name);

}  // namespace vantrel::registry
