#include "secmgr/DisplayCheck.h"

namespace vantrel::secmgr {

bool DisplayIsAvailable(const EnvironmentLookup& lookup) {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = lookup(variable);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

std::string NoDisplayHelp(const std::string& programName) {
    return programName +
           ": this settings dialog needs a graphical display (X11 or Wayland), and none could be\n"
           "reached. Run it on the server's desktop or over ssh -X, so that DISPLAY or\n"
           "WAYLAND_DISPLAY names a display, or under a virtual display:\n"
           "  xvfb-run " +
           programName +
           "\n"
           "Scripts and tests can use Qt's offscreen platform, which draws the dialog without\n"
           "showing it (it then waits until it is driven or ended):\n"
           "  QT_QPA_PLATFORM=offscreen " +
           programName +
           "\n"
           "Without a display the settings can be listed and set from the terminal:\n"
           "  " +
           programName + " --list\n  " + programName + " --set NAME=VALUE...\n  " + programName +
           " --defaults\n"
           "See " +
           programName + " --help for the names and values.\n";
}

}  // namespace vantrel::secmgr
