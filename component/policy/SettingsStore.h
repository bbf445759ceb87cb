#pragma once
// The administrator's settings: each is the default value of the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillfen\Farbale\<name>. Read afresh for every object and
// operation: nothing is cached.

#include <stdexcept>
#include <string>

#include "platform/registry/SettingsKey.h"

namespace vantrel {

// A setting that is stored but cannot be read. The operations refuse rather than take it for
// "not set": an unreadable store must not lift the administrator's limits.
class SettingUnreadable : public std::runtime_error {
  public:
    explicit SettingUnreadable(const std::string& name)
        : std::runtime_error("The security setting " + name +
                             " cannot be read; nothing was done.") {}
};

// The setting's stored text, exactly as stored; empty when it is not set (no such key or value) or
// its text has 1023 bytes or more. Throws SettingUnreadable when the store holds something that
// cannot be read.
std::string ReadSettingText(const std::string& name);

// True when a switch is on: its text is "1". Throws as ReadSettingText does.
bool SettingIsSet(const std::string& name);

}  // namespace vantrel
