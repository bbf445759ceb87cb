#pragma once
// The web host's command line and configuration file. Every option with a value (and every
// switch, as true or false) can also be a line of the configuration file (host/ConfigFile.h); the
// command line overrides the file, and a repeatable option given on the command line replaces the
// file's lines of it.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/ForwardedRequest.h"
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
    // --listen unix:PATH: a Unix socket instead (for a proxy in front), made with mode 0660 and
    // given the group socketGroup (--socket-group), so that only its members and root connect.
    std::filesystem::path listenSocket;
    std::string socketGroup;
    platform::DriveMap drives;  // from --drive, else drive c: in the data folder
    std::filesystem::path dataFolder;
    std::string webRoot = "c:\\inetpub\\wwwroot";
    std::string page = "/farbale.asp";
    std::filesystem::path registry;  // empty: VANTREL_REGISTRY or the shared default
    // --queue-folder: the operation queue's lock files, in a folder of the host's own; hosts
    // that name the same folder share one queue. Default: queue in the data folder.
    std::filesystem::path queueFolder;
    bool debug = false;
    int threads = 32;

    // --sign-in; without it, none on a loopback address and system on any other.
    SignInMode signIn = SignInMode::None;
    std::filesystem::path usersFile;
    // --add-user NAME or NAME:ACCOUNT: add the user to the users file and end.
    std::optional<std::string> addUser;
    // --list-users, --remove-user NAME: list the users of the users file, or remove one, and end.
    bool listUsers = false;
    std::optional<std::string> removeUser;
    std::filesystem::path tlsCertificate;  // with tlsKey: serve HTTPS
    std::filesystem::path tlsKey;
    bool plainHttp = false;          // plain HTTP on a non-loopback address (a TLS proxy)
    std::filesystem::path auditLog;  // default: audit.log in the data folder
    std::string accessLog = "-";     // "-": standard output
    // --min-free-space: the free space extraction leaves on the target's file system ("1G",
    // "5%", "0"); empty: the library's default, 1 GiB or 5%, whichever is smaller.
    std::string minFreeSpace;
    // --max-upload-size: the most one upload may carry ("1G"; bytes with K, M, G or T).
    std::string maxUploadSize = "1G";
    uint64_t maxUploadBytes = uint64_t{1} << 30;
    // --server-name (repeatable): the names the host answers to, beside its listen address and
    // localhost.
    std::vector<std::string> serverNames;
    // --trusted-proxy (repeatable): the proxies whose X-Forwarded-* headers are believed.
    std::vector<TrustedProxy> trustedProxies;
    // --stop-timeout: how long running operations may go on once a stop is asked for, before they
    // are aborted.
    int stopTimeoutSeconds = 60;
    // How long after its arrival every failed sign-in is answered, whatever the reason, so that
    // the time tells nothing about which accounts exist (no option: tests shorten it).
    std::chrono::milliseconds failedSignInTime{2000};

    // --config, or the installed program's default when it exists; empty: none was read.
    std::filesystem::path configFile;
    // --check-config: check the configuration, print the effective settings and end.
    bool checkConfig = false;
    // --version: print the version and end (nothing else is read).
    bool version = false;

    bool Tls() const { return !tlsCertificate.empty(); }
    bool ManagesUsers() const { return addUser || listUsers || removeUser; }
    bool OnSocket() const { return !listenSocket.empty(); }
};

// Where the host listens, as the listen setting writes it: "127.0.0.1:8080", "[::1]:8080",
// "unix:/run/vantrel/http.sock".
std::string ListenText(const HostOptions& options);

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& address);

// An installed program's data folder (/var/lib/vantrel, see platform/install), else
// $XDG_DATA_HOME/vantrel/data, or ~/.local/share/vantrel/data.
std::filesystem::path DefaultDataFolder();

// Parses the arguments and the configuration file (--config FILE, or an installed program's
// /etc/vantrel/vantrel.conf when it exists); on a mistake returns nullopt and puts the reason into
// error, "FILE:LINE: what is wrong" for a line of the file. "--help" returns nullopt with an empty
// error. Refuses combinations that would expose the server: no sign-in on a non-loopback address,
// plain HTTP there without --plain-http.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error);

std::string HostUsage();

// The effective settings as configuration lines ("listen = 127.0.0.1:8080"), one per setting.
std::vector<std::string> EffectiveSettings(const HostOptions& options);

}  // namespace vantrel::host
