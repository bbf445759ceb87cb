#pragma once
// The web host's command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives/DriveMap.h"

namespace vantrel::host {

enum class SignInMode {
    System,  // the server's accounts, through PAM
    Users,   // the users file
    None,    // nobody signs in: loopback addresses only
};

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

    // --sign-in; without it, none on a loopback address and system on any other.
    SignInMode signIn = SignInMode::None;
    std::filesystem::path usersFile;
    // --add-user NAME or NAME:ACCOUNT: add the user to the users file and end.
    std::optional<std::string> addUser;
    std::filesystem::path tlsCertificate;  // with tlsKey: serve HTTPS
    std::filesystem::path tlsKey;
    bool plainHttp = false;          // plain HTTP on a non-loopback address (a TLS proxy)
    std::filesystem::path auditLog;  // default: audit.log in the data folder
    std::string accessLog = "-";     // "-": standard output
    // --min-free-space: the free space extraction leaves on the target's file system ("1G",
    // "5%", "0"); empty: the library's default, 1 GiB or 5%, whichever is smaller.
    std::string minFreeSpace;

    bool Tls() const { return !tlsCertificate.empty(); }
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& address);

// $XDG_DATA_HOME/vantrel/data, or ~/.local/share/vantrel/data.
std::filesystem::path DefaultDataFolder();

// Parses the arguments; on a mistake returns nullopt and puts the reason into error. "--help"
// returns nullopt with an empty error. Refuses combinations that would expose the server: no
// sign-in on a non-loopback address, plain HTTP there without --plain-http.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error);

std::string HostUsage();

}  // namespace vantrel::host
