#pragma once
// Where an installed copy of Vantrel keeps its configuration, settings, data and logs. A program
// counts as installed when it runs from PREFIX/bin and PREFIX/lib/vantrel holds the component: the
// layout `cmake --install` and the package make. A program run from its build tree is not
// installed and keeps its per-user defaults (~/.local/share/vantrel).
//
// With the prefix /usr (the package) configuration lives in /etc/vantrel and data in /var; with any
// other prefix in PREFIX/etc/vantrel and PREFIX/var, so an installation into a folder of its own
// stays inside it.

#include <filesystem>
#include <optional>

namespace vantrel::platform {

struct InstalledPaths {
    std::filesystem::path prefix;      // /usr
    std::filesystem::path configFile;  // /etc/vantrel/vantrel.conf
    std::filesystem::path settings;    // /etc/vantrel/settings: the settings registry
    std::filesystem::path data;        // /var/lib/vantrel: drive c: is its folder c
    std::filesystem::path logs;        // /var/log/vantrel
    std::filesystem::path shared;      // /usr/share/vantrel: the help page, examples
};

// The paths of an installation whose bin folder is binFolder; nullopt when it is none.
std::optional<InstalledPaths> InstallationAt(const std::filesystem::path& binFolder);

// The running program's installation (decided once per process); nullopt in the build tree.
const std::optional<InstalledPaths>& Installation();

// The folder of the running program's read-only data: PREFIX/share/vantrel when installed, else
// share/vantrel beside the build tree's bin folder.
std::filesystem::path SharedDataFolder();

}  // namespace vantrel::platform
