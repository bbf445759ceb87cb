#include "host/HostOptions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

#include "host/ConfigFile.h"
#include "host/ServedNames.h"
#include "platform/files/FreeSpaceReserve.h"
#include "platform/install/Installation.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

bool ParseListen(const std::string& value, HostOptions& options) {
    options.listenSocket.clear();
    if (value.starts_with("unix:")) {
        options.listenSocket = value.substr(5);
        return options.listenSocket.is_absolute();
    }
    size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    char* end = nullptr;
    long port = std::strtol(value.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || port < 0 || port > 65535) {
        return false;
    }
    std::string address = value.substr(0, colon);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);  // [::1]:8080
    }
    options.listenAddress = address;
    options.listenPort = static_cast<int>(port);
    return true;
}

bool ParseThreads(const std::string& value, HostOptions& options) {
    char* end = nullptr;
    long threads = std::strtol(value.c_str(), &end, 10);
    if (*end != '\0' || threads < 1 || threads > 1024) {
        return false;
    }
    options.threads = static_cast<int>(threads);
    return true;
}

std::optional<SignInMode> ParseSignIn(const std::string& value) {
    static const std::map<std::string, SignInMode> kModes = {
        {"system", SignInMode::System}, {"users", SignInMode::Users}, {"none", SignInMode::None}};
    auto it = kModes.find(value);
    return it == kModes.end() ? std::nullopt : std::optional(it->second);
}

bool ParseStopTimeout(const std::string& value, HostOptions& options) {
    char* end = nullptr;
    long seconds = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || seconds < 0 || seconds > 86400) {
        return false;
    }
    options.stopTimeoutSeconds = static_cast<int>(seconds);
    return true;
}

std::optional<bool> ParseSwitch(const std::string& value) {
    if (value == "true" || value == "yes") {
        return true;
    }
    if (value == "false" || value == "no") {
        return false;
    }
    return std::nullopt;
}

// What the command line and the file have said so far; the sign-in mode is settled once it is all
// read.
struct Parsing {
    HostOptions options;
    std::optional<SignInMode> signIn;
    std::string detail;  // a setter's own account of a wrong value
};

// Each setting: how its value is stored, and what is said when the value is wrong.
using Setter = std::function<bool(const std::string& value, Parsing& parsing)>;

template <typename Store>
Setter Always(Store store) {
    return [store](const std::string& value, Parsing& parsing) {
        store(value, parsing.options);
        return true;
    };
}

Setter Switch(bool HostOptions::*field) {
    return [field](const std::string& value, Parsing& parsing) {
        auto on = ParseSwitch(value);
        if (on) {
            parsing.options.*field = *on;
        }
        return on.has_value();
    };
}

enum class Kind {
    Single,      // the last one given counts
    Repeatable,  // each one given adds to a list
    Switch,      // true or false; alone on the command line, true
};

struct Setting {
    Setter set;
    std::string wrongValue;  // "" when every value is taken
    Kind kind = Kind::Single;
};

const std::map<std::string, Setting>& Settings() {
    static const std::map<std::string, Setting> kSettings = {
        {"listen",
         {[](auto& v, Parsing& p) { return ParseListen(v, p.options); },
          "listen takes ADDRESS:PORT, e.g. 127.0.0.1:8080, or unix:/PATH of a socket"}},
        {"socket-group", {Always([](auto& v, auto& o) { o.socketGroup = v; }), ""}},
        {"drive",
         {[](auto& v, Parsing& p) {
              auto drive = platform::DriveMap::ParseEntry(v, &p.detail);
              if (drive) {
                  p.options.drives.Add(*drive);
              }
              return drive.has_value();
          },
          "drive takes L=FOLDER[,TYPE][,VOLUME]", Kind::Repeatable}},
        {"data", {Always([](auto& v, auto& o) { o.dataFolder = v; }), ""}},
        {"web-root", {Always([](auto& v, auto& o) { o.webRoot = v; }), ""}},
        {"page",
         {[](auto& v, Parsing& p) {
              p.options.page = v;
              return !v.empty() && v[0] == '/';
          },
          "page takes a path beginning with /"}},
        {"registry", {Always([](auto& v, auto& o) { o.registry = v; }), ""}},
        {"queue-folder", {Always([](auto& v, auto& o) { o.queueFolder = v; }), ""}},
        {"debug", {Switch(&HostOptions::debug), "debug takes true or false", Kind::Switch}},
        {"threads",
         {[](auto& v, Parsing& p) { return ParseThreads(v, p.options); },
          "threads takes a number from 1 to 1024"}},
        {"sign-in",
         {[](auto& v, Parsing& p) {
              p.signIn = ParseSignIn(v);
              return p.signIn.has_value();
          },
          "sign-in takes system, users or none"}},
        {"users", {Always([](auto& v, auto& o) { o.usersFile = v; }), ""}},
        {"tls-cert", {Always([](auto& v, auto& o) { o.tlsCertificate = v; }), ""}},
        {"tls-key", {Always([](auto& v, auto& o) { o.tlsKey = v; }), ""}},
        {"plain-http",
         {Switch(&HostOptions::plainHttp), "plain-http takes true or false", Kind::Switch}},
        {"audit-log", {Always([](auto& v, auto& o) { o.auditLog = v; }), ""}},
        {"access-log", {Always([](auto& v, auto& o) { o.accessLog = v; }), ""}},
        {"min-free-space",
         {[](auto& v, Parsing& p) {
              p.options.minFreeSpace = v;
              return platform::ParseReserve(v).has_value();
          },
          "min-free-space takes bytes, with K, M, G or T (\"2G\"), or a percentage (\"5%\")"}},
        {"max-upload-size",
         {[](auto& v, Parsing& p) {
              auto size = platform::ParseReserve(v);
              p.options.maxUploadSize = v;
              p.options.maxUploadBytes = size && size->bytes ? *size->bytes : 0;
              return size && size->bytes && !size->fraction && *size->bytes > 0;
          },
          "max-upload-size takes bytes, with K, M, G or T (\"1G\")"}},
        {"server-name",
         {[](auto& v, Parsing& p) {
              p.options.serverNames.push_back(v);
              return IsServerNameValue(v);
          },
          "server-name takes a host name or address without port, e.g. vantrel.example.org",
          Kind::Repeatable}},
        {"trusted-proxy",
         {[](auto& v, Parsing& p) {
              auto proxy = TrustedProxy::Parse(v);
              if (proxy) {
                  p.options.trustedProxies.push_back(*proxy);
              }
              return proxy.has_value();
          },
          "trusted-proxy takes an IP address or a network, e.g. 127.0.0.1 or 10.0.0.0/8",
          Kind::Repeatable}},
        {"stop-timeout",
         {[](auto& v, Parsing& p) { return ParseStopTimeout(v, p.options); },
          "stop-timeout takes seconds from 0 to 86400"}},
    };
    return kSettings;
}

// Options of the command line alone: they say what to do rather than how to serve.
bool IsCommandLineOnly(const std::string& name) {
    return name == "config" || name == "add-user" || name == "list-users" ||
           name == "remove-user" || name == "check-config" || name == "help" || name == "version";
}

// One setting as given: its name without dashes, its value, and where it was given (empty: the
// command line).
struct Given {
    std::string name;
    std::string value;
    std::string origin;
};

// The command line's settings in order, and what it asks for besides; false with the reason.
struct CommandLine {
    std::vector<Given> settings;
    std::optional<std::filesystem::path> config;
    bool help = false;
    bool version = false;
};

bool ReadCommandLine(const std::vector<std::string>& args, CommandLine& line, HostOptions& options,
                     std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            line.help = true;
            return true;
        }
        if (name == "--version") {
            line.version = true;
            return true;
        }
        if (!name.starts_with("--")) {
            error = "unexpected argument " + name;
            return false;
        }
        std::optional<std::string> value;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        name = name.substr(2);
        if (name == "check-config" && !value) {
            options.checkConfig = true;
            continue;
        }
        if (name == "list-users" && !value) {
            options.listUsers = true;
            continue;
        }
        auto known = Settings().find(name);
        if (known != Settings().end() && known->second.kind == Kind::Switch && !value) {
            value = "true";  // a switch alone turns it on
        }
        if (!value && i + 1 < args.size()) {
            value = args[++i];
        }
        if (!value) {
            error = "--" + name + " needs a value";
            return false;
        }
        if (name == "config") {
            line.config = *value;
        } else if (name == "add-user") {
            options.addUser = *value;
        } else if (name == "remove-user") {
            options.removeUser = *value;
        } else if (known == Settings().end()) {
            error = "unknown option --" + name;
            return false;
        } else {
            line.settings.push_back({name, *value, ""});
        }
    }
    return true;
}

// The file's settings, checked for keys the host does not know and for settings given twice.
bool ReadFileSettings(const fs::path& file, std::vector<Given>& settings, std::string& error) {
    auto lines = ReadConfigFile(file, error);
    if (!lines) {
        return false;
    }
    std::map<std::string, std::string> seen;
    for (const auto& line : *lines) {
        auto known = Settings().find(line.key);
        if (known == Settings().end()) {
            error = line.origin + ": " +
                    (IsCommandLineOnly(line.key) ? line.key + " is for the command line only"
                                                 : "unknown key '" + line.key + "'");
            return false;
        }
        if (known->second.kind != Kind::Repeatable && seen.count(line.key)) {
            error =
                line.origin + ": " + line.key + " is set twice (first at " + seen[line.key] + ")";
            return false;
        }
        seen.emplace(line.key, line.origin);
        settings.push_back({line.key, line.value, line.origin});
    }
    return true;
}

// The file's settings first, then the command line's, which win; a repeatable option given on the
// command line replaces the file's lines of it rather than adding to them.
std::vector<Given> Merge(std::vector<Given> fromFile, const std::vector<Given>& fromCommandLine) {
    std::erase_if(fromFile, [&](const Given& given) {
        return Settings().at(given.name).kind == Kind::Repeatable &&
               std::any_of(fromCommandLine.begin(), fromCommandLine.end(),
                           [&](const Given& other) { return other.name == given.name; });
    });
    fromFile.insert(fromFile.end(), fromCommandLine.begin(), fromCommandLine.end());
    return fromFile;
}

bool Apply(const Given& given, Parsing& parsing, std::string& error) {
    const Setting& setting = Settings().at(given.name);
    parsing.detail.clear();
    if (setting.set(given.value, parsing)) {
        return true;
    }
    if (!parsing.detail.empty()) {
        error = given.origin.empty() ? parsing.detail : given.origin + ": " + parsing.detail;
    } else {
        error = given.origin.empty() ? "--" + setting.wrongValue
                                     : given.origin + ": " + setting.wrongValue;
    }
    return false;
}

// The combinations the host refuses to start with.
bool CheckCombination(const HostOptions& options, std::string& error) {
    // Who reaches a socket is up to its group, not to the address: sign-in always, and plain
    // HTTP never crosses the network.
    bool loopback = !options.OnSocket() && IsLoopbackAddress(options.listenAddress);
    bool network = !options.OnSocket() && !loopback;
    if (options.tlsCertificate.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
    } else if (options.addUser.has_value() + options.listUsers + options.removeUser.has_value() >
               1) {
        error = "--add-user, --list-users and --remove-user go one at a time";
    } else if ((options.signIn == SignInMode::Users || options.ManagesUsers()) &&
               options.usersFile.empty()) {
        error = "the users file is missing: give --users FILE";
    } else if (options.ManagesUsers()) {
        return true;  // managing users serves nothing
    } else if (options.signIn == SignInMode::None && !loopback) {
        error = "refusing to serve " +
                (options.OnSocket() ? ListenText(options) : options.listenAddress) +
                " without sign-in: anyone who reaches it could work with the server's files. "
                "Use --sign-in system or --sign-in users, or listen on 127.0.0.1";
    } else if (network && !options.Tls() && !options.plainHttp) {
        error = "refusing plain HTTP on " + options.listenAddress +
                ": give --tls-cert and --tls-key, or --plain-http when a TLS proxy is in front";
    } else {
        return true;
    }
    return false;
}

}  // namespace

std::string ListenText(const HostOptions& options) {
    if (options.OnSocket()) {
        return "unix:" + options.listenSocket.string();
    }
    std::string address = options.listenAddress.find(':') != std::string::npos
                              ? "[" + options.listenAddress + "]"
                              : options.listenAddress;
    return address + ":" + std::to_string(options.listenPort);
}

bool IsLoopbackAddress(const std::string& address) {
    if (address == "localhost" || address == "::1") {
        return true;
    }
    in_addr ipv4{};
    return ::inet_pton(AF_INET, address.c_str(), &ipv4) == 1 && (ntohl(ipv4.s_addr) >> 24) == 127;
}

fs::path DefaultDataFolder() {
    if (const auto& installed = platform::Installation()) {
        return installed->data;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return fs::path(data) / "vantrel" / "data";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "vantrel" / "data";
}

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error) {
    Parsing parsing;
    HostOptions& options = parsing.options;
    CommandLine line;
    if (!ReadCommandLine(args, line, options, error) || line.help) {
        if (line.help) {
            error.clear();
        }
        return std::nullopt;
    }
    if (line.version) {
        options.version = true;
        return options;
    }
    const auto& installed = platform::Installation();
    std::error_code ec;
    if (line.config) {
        options.configFile = *line.config;
    } else if (installed && fs::exists(installed->configFile, ec)) {
        options.configFile = installed->configFile;
    }
    std::vector<Given> fromFile;
    if (!options.configFile.empty() && !ReadFileSettings(options.configFile, fromFile, error)) {
        return std::nullopt;
    }
    for (const auto& given : Merge(std::move(fromFile), line.settings)) {
        if (!Apply(given, parsing, error)) {
            return std::nullopt;
        }
    }
    options.signIn = parsing.signIn.value_or(
        !options.OnSocket() && IsLoopbackAddress(options.listenAddress) ? SignInMode::None
                                                                        : SignInMode::System);
    if (options.dataFolder.empty()) {
        options.dataFolder = DefaultDataFolder();
    }
    if (options.queueFolder.empty()) {
        options.queueFolder = options.dataFolder / "queue";
    }
    if (options.auditLog.empty()) {
        options.auditLog =
            installed ? installed->logs / "audit.log" : options.dataFolder / "audit.log";
    }
    if (options.drives.Drives().empty()) {
        options.drives.Add({'c', options.dataFolder / "c", platform::DriveType::Fixed, "DATA"});
    }
    if (!CheckCombination(options, error)) {
        return std::nullopt;
    }
    return options;
}

std::string HostUsage() {
    return "Usage: vantrel-host [options]\n"
           "Serves the Vantrel zip-file manager's page on an embedded web server.\n"
           "\n"
           "Options:\n"
           "  --listen ADDR:PORT      where to listen (default 127.0.0.1:8080); unix:/PATH:\n"
           "                          a Unix socket for a proxy in front, mode 0660\n"
           "  --socket-group GROUP    the group of that socket: its members may connect\n"
           "  --drive L=FOLDER[,TYPE][,VOLUME]\n"
           "                          map drive L: to FOLDER (repeatable); TYPE is fixed,\n"
           "                          network, removable, cdrom or ramdisk (default fixed)\n"
           "  --data DIR              without --drive, drive c: is DIR/c (default\n"
           "                          ~/.local/share/vantrel/data; installed, /var/lib/vantrel)\n"
           "  --web-root WINPATH      the web site's root folder (default c:\\inetpub\\wwwroot)\n"
           "  --page PATH             the application page's path (default /farbale.asp)\n"
           "  --registry DIR          the settings registry's folder (default\n"
           "                          ~/.local/share/vantrel/registry; installed,\n"
           "                          /etc/vantrel/settings)\n"
           "  --queue-folder DIR      the operation queue's lock files, in a folder only this\n"
           "                          account may use; hosts naming the same folder share\n"
           "                          one queue (default: queue in the data folder)\n"
           "  --debug                 every new session echoes its request fields\n"
           "  --threads N             N/2 operations run at once (default 32: 16); every\n"
           "                          connection is served on a thread of its own\n"
           "  --min-free-space SIZE   free space extraction leaves on the disk: bytes, K, M, G\n"
           "                          or T (\"2G\"), or a percentage (\"5%\"); default 1G or 5%,\n"
           "                          whichever is smaller; 0 for none\n"
           "  --max-upload-size SIZE  the most one upload through the page may carry: bytes,\n"
           "                          K, M, G or T (default 1G)\n"
           "  --sign-in MODE          system (the server's accounts, PAM service vantrel),\n"
           "                          users (the --users file) or none; default none on a\n"
           "                          loopback address, else system\n"
           "  --users FILE            the users file: name:hash[:linux-account] a line\n"
           "  --add-user NAME[:ACCOUNT]\n"
           "                          add or replace a user of the --users file (password\n"
           "                          from standard input; ACCOUNT: the Linux account whose\n"
           "                          file rights it works with) and end; the password\n"
           "                          has at least 8 characters\n"
           "  --list-users            list the users of the --users file, NAME[:ACCOUNT] a\n"
           "                          line, and end\n"
           "  --remove-user NAME      remove a user from the --users file and end\n"
           "  --tls-cert FILE --tls-key FILE\n"
           "                          serve HTTPS with this certificate (PEM) and key\n"
           "  --plain-http            serve plain HTTP on a non-loopback address (for a TLS\n"
           "                          proxy in front)\n"
           "  --server-name NAME      a name browsers use for the host (repeatable); it\n"
           "                          answers no other name than these, the listen address\n"
           "                          and localhost (421 Misdirected Request)\n"
           "  --trusted-proxy ADDR    believe X-Forwarded-For, -Proto and -Host from this\n"
           "                          address or network (repeatable), e.g. 127.0.0.1\n"
           "  --audit-log FILE        one JSON line per operation and sign-in (default\n"
           "                          audit.log in the data folder; installed,\n"
           "                          /var/log/vantrel/audit.log)\n"
           "  --access-log FILE|-     one line per request, Common Log Format (default -,\n"
           "                          standard output)\n"
           "  --stop-timeout SECONDS  on SIGTERM or SIGINT, how long running operations may\n"
           "                          go on before they are aborted (default 60)\n"
           "  --config FILE           read settings from FILE (default, when installed:\n"
           "                          /etc/vantrel/vantrel.conf)\n"
           "  --check-config          check the configuration, print the effective settings\n"
           "                          and end: exit status 0 when it is good, 2 when not\n"
           "  --help                  print this help and end\n"
           "  --version               print the version and end\n"
           "\n"
           "Configuration file:\n"
           "  One setting a line, \"key = value\", with the name of a long option above as\n"
           "  the key (listen, drive, sign-in, ...); switches take true or false. Lines\n"
           "  beginning with # are comments. Options on the command line override the\n"
           "  file; --drive, --server-name or --trusted-proxy there replace all of the\n"
           "  file's lines of it.\n"
           "  A wrong line stops the start with FILE:LINE and what is wrong.\n"
           "\n"
           "Signals:\n"
           "  SIGTERM and SIGINT stop accepting connections and end once the running\n"
           "  requests are done (operations are aborted after --stop-timeout); SIGHUP\n"
           "  reopens the log files and reads the users file again.\n"
           "\n"
           "Exit status:\n"
           "  0 after a clean stop or a finished command, 1 when the host cannot start or a\n"
           "  command fails (--add-user, --list-users, --remove-user), 2 for a wrong option\n"
           "  or configuration.\n";
}

std::vector<std::string> EffectiveSettings(const HostOptions& options) {
    static const std::map<SignInMode, const char*> kModes = {
        {SignInMode::System, "system"}, {SignInMode::Users, "users"}, {SignInMode::None, "none"}};
    std::vector<std::string> lines = {"listen = " + ListenText(options)};
    for (const auto& drive : options.drives.Drives()) {
        platform::DriveMap one;
        one.Add(drive);
        lines.push_back("drive = " + one.ToSpec());
    }
    auto add = [&lines](const std::string& key, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(key + " = " + value);
        }
    };
    add("socket-group", options.socketGroup);
    add("data", options.dataFolder.string());
    add("web-root", options.webRoot);
    add("page", options.page);
    add("registry",
        options.registry.empty() ? registry::RegistryRoot().string() : options.registry.string());
    add("queue-folder", options.queueFolder.string());
    add("debug", options.debug ? "true" : "false");
    add("threads", std::to_string(options.threads));
    add("min-free-space", options.minFreeSpace);
    add("max-upload-size", options.maxUploadSize);
    add("sign-in", kModes.at(options.signIn));
    add("users", options.usersFile.string());
    add("tls-cert", options.tlsCertificate.string());
    add("tls-key", options.tlsKey.string());
    add("plain-http", options.plainHttp ? "true" : "false");
    for (const auto& name : options.serverNames) {
        add("server-name", name);
    }
    for (const auto& proxy : options.trustedProxies) {
        add("trusted-proxy", proxy.Text());
    }
    add("audit-log", options.auditLog.string());
    add("access-log", options.accessLog);
    add("stop-timeout", std::to_string(options.stopTimeoutSeconds));
    return lines;
}

}  // namespace vantrel::host
