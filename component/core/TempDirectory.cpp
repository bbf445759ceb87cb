// The temporary directory: c:\temp\ when that folder exists, else the system's temporary path.
#include "component/core/Farbale.h"
#include "platform/files/FileSystem.h"

namespace vantrel {

void Farbale::InitTempDirectory() {
    TempDir = "c:\\";
    try {
        std::string probed = ProbeTempFolder();
        if (!probed.empty()) {
            TempDir = probed;
        } else {
            std::string system = platform::SystemTempPath();
            TempDir = system.empty() ? platform::CurrentDirectory() : system;
        }
        if (TempDir.empty() || TempDir.back() != '\\') {
            TempDir += "\\";
        }
    } catch (...) {
        // An error keeps the value reached so far.
    }
}

std::string Farbale::ProbeTempFolder() {
    try {
        auto all = platform::ListNames("c:\\temp\\*.*");
        auto any = platform::ListNames("c:\\temp\\*");
        std::string found = (all.empty() ? "" : all.front()) + (any.empty() ? "" : any.front());
        return found.empty() ? "" : "c:\\temp\\";
    } catch (...) {
        return {};
    }
}

}  // namespace vantrel
