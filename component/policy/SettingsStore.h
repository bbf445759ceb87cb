#pragma once
// The administrator's settings: each is the default value of the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillfen\Farbale\<name>. Read afresh for every object and
// operation: nothing is cached.

#include <string>

#include "platform/registry/SettingsKey.h"

namespace vantrel {

// The setting's stored text, exactly as stored; empty when it cannot be read (missing key or value,
// or a text of 1023 bytes or more). The settings dialog reads with the same function.
using registry::ReadSettingText;

}  // namespace vantrel
