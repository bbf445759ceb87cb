#pragma once
// The web host's command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives/DriveMap.h"

namespace vantrel::host {

struct HostOptions {
    std::string listenAddress = "127.0.0.1";
    int listenPort = 8080;
    platform::DriveMap drives;  // from --drive, else drive c: in the data folder
    std::filesystem::path dataFolder;
    std::string webRoot = "c:\\inetpub\\wwwroot";
    std::string page = "/farbale.asp";
    std::filesystem::path registry;  // empty: VANTREL_REGISTRY or the shared default
    bool debug = false;
    int threads = 32;
};

// $XDG_DATA_HOME/vantrel/data, or ~/.local/share/vantrel/data.
std::filesystem::path DefaultDataFolder();

// Parses the arguments; on a mistake returns nullopt and puts the reason into error. "--help"
// returns nullopt with an empty error.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error);

std::string HostUsage();

}  // namespace vantrel::host
