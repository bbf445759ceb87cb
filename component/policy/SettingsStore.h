#pragma once
// The administrator's settings: each is the default value of the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillfen\Farbale\<name>. Read afresh for every object and
// operation: nothing is cached.

#include <string>

namespace vantrel {

inline constexpr const char* kSettingsKey = "Software\\Quillfen\\Farbale\\";

// The setting's stored text, exactly as stored; empty when it cannot be read (missing key or value,
// or a text of 1023 bytes or more).
std::string ReadSettingText(const std::string& name);

}  // namespace vantrel
