#pragma once
// Whether the dialog can be shown at all, decided before Qt starts: without a display Qt would
// abort with a core dump instead of a useful message.

#include <functional>
#include <string>

namespace vantrel::secmgr {

// Returns an environment variable's value, or null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// True when DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set to something.
bool DisplayIsAvailable(const EnvironmentLookup& lookup);

// What to tell someone who started the program without a display.
std::string NoDisplayHelp(const std::string& programName);

}  // namespace vantrel::secmgr
