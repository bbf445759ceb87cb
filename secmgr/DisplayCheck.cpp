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
           ": this settings dialog needs a graphical display, and none was found\n"
           "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
           "Run it on the server's desktop, over ssh -X, or under a virtual display such as\n"
           "  xvfb-run " +
           programName +
           "\n"
           "Scripts and tests can use Qt's offscreen platform, which shows no window:\n"
           "  QT_QPA_PLATFORM=offscreen " +
           programName + "\n";
}

}  // namespace vantrel::secmgr
