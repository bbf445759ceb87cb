#pragma once
// Where the administrator's settings live, and the one reader that the web component and the
// settings dialog share: each setting is a subkey of the settings key below HKEY_LOCAL_MACHINE,
// and its text is that subkey's default value.

#include <string>

namespace vantrel::registry {

// Key names compare without regard to case, so "Software\..." addresses the same key.
inline constexpr const char* kSettingsKeyPath = "SOFTWARE\\Quillfen\\Farbale\\";

// The setting's stored text, exactly as stored (not trimmed); empty when it cannot be read:
// a missing key or value, or a text of 1023 bytes or more. Never throws.
std::string ReadSettingText(const std::string& name);

}  // namespace vantrel::registry
