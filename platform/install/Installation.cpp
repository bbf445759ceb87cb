#include "platform/install/Installation.h"

namespace vantrel::platform {
namespace fs = std::filesystem;

namespace {

fs::path ProgramFolder() {
    std::error_code ec;
    fs::path program = fs::canonical("/proc/self/exe", ec);
    return ec ? fs::path() : program.parent_path();
}

}  // namespace

std::optional<InstalledPaths> InstallationAt(const fs::path& binFolder) {
    std::error_code ec;
    fs::path prefix = binFolder.parent_path();
    if (binFolder.filename() != "bin" ||
        !fs::is_regular_file(prefix / "lib" / "vantrel" / "libvantrel.so", ec)) {
        return std::nullopt;
    }
    // The package's prefix keeps its configuration and variable data where the system keeps them.
    bool system = prefix == "/usr";
    fs::path etc = system ? fs::path("/etc") : prefix / "etc";
    fs::path var = system ? fs::path("/var") : prefix / "var";
    return InstalledPaths{prefix,
                          etc / "vantrel" / "vantrel.conf",
                          etc / "vantrel" / "settings",
                          var / "lib" / "vantrel",
                          var / "log" / "vantrel",
                          prefix / "share" / "vantrel"};
}

const std::optional<InstalledPaths>& Installation() {
    static const std::optional<InstalledPaths> installation = InstallationAt(ProgramFolder());
    return installation;
}

fs::path SharedDataFolder() {
    if (const auto& installed = Installation()) {
        return installed->shared;
    }
    return ProgramFolder().parent_path() / "share" / "vantrel";
}

}  // namespace vantrel::platform
