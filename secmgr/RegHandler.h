#pragma once
// The security manager's access to the settings: each setting is the default value of the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillfen\Farbale\<name>, the same store the web component reads.

#include <string>

#include "secmgr/MessageBoxes.h"

namespace vantrel::secmgr {

inline constexpr const char* kCannotSetMessage = "Cannot set Registry value";

// The setting's stored text, untrimmed; empty when the key or its value is missing or 1023 bytes
// long or longer. A setting that is stored but cannot be read throws std::runtime_error ("The
// setting ... cannot be read; nothing was stored."), as the web component refuses to work then:
// taken for empty, it would be stored back blank and lift the administrator's limits.
std::string ReadSetting(const std::string& name);

// Stores text as the setting's value, creating the key when needed. A key that cannot be created
// or written is reported with "Cannot set Registry value"; the caller goes on with its next
// setting.
void WriteSetting(const std::string& name, const std::string& text, MessageBoxes& messages);

}  // namespace vantrel::secmgr
