#include "host/HostOptions.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "platform/files/FreeSpaceReserve.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

bool ParseListen(const std::string& value, HostOptions& options) {
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

// What the command line has said so far; the sign-in mode is settled once it is all read.
struct Parsing {
    HostOptions options;
    std::optional<SignInMode> signIn;
};

// Each option with a value: how it is stored, and what is said when the value is wrong.
using Setter = std::function<bool(const std::string& value, Parsing& parsing)>;

template <typename Store>
Setter Always(Store store) {
    return [store](const std::string& value, Parsing& parsing) {
        store(value, parsing.options);
        return true;
    };
}

const std::map<std::string, std::pair<Setter, const char*>>& Setters() {
    static const std::map<std::string, std::pair<Setter, const char*>> kSetters = {
        {"--listen",
         {[](auto& v, Parsing& p) { return ParseListen(v, p.options); },
          "--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8080"}},
        {"--data", {Always([](auto& v, auto& o) { o.dataFolder = v; }), ""}},
        {"--web-root", {Always([](auto& v, auto& o) { o.webRoot = v; }), ""}},
        {"--page",
         {[](auto& v, Parsing& p) {
              p.options.page = v;
              return !v.empty() && v[0] == '/';
          },
          "--page takes a path beginning with /"}},
        {"--registry", {Always([](auto& v, auto& o) { o.registry = v; }), ""}},
        {"--threads",
         {[](auto& v, Parsing& p) { return ParseThreads(v, p.options); },
          "--threads takes a number from 1 to 1024"}},
        {"--sign-in",
         {[](auto& v, Parsing& p) {
              p.signIn = ParseSignIn(v);
              return p.signIn.has_value();
          },
          "--sign-in takes system, users or none"}},
        {"--users", {Always([](auto& v, auto& o) { o.usersFile = v; }), ""}},
        {"--add-user", {Always([](auto& v, auto& o) { o.addUser = v; }), ""}},
        {"--tls-cert", {Always([](auto& v, auto& o) { o.tlsCertificate = v; }), ""}},
        {"--tls-key", {Always([](auto& v, auto& o) { o.tlsKey = v; }), ""}},
        {"--audit-log", {Always([](auto& v, auto& o) { o.auditLog = v; }), ""}},
        {"--access-log", {Always([](auto& v, auto& o) { o.accessLog = v; }), ""}},
        {"--min-free-space",
         {[](auto& v, Parsing& p) {
              p.options.minFreeSpace = v;
              return platform::ParseReserve(v).has_value();
          },
          "--min-free-space takes bytes, with K, M, G or T (\"2G\"), or a percentage (\"5%\")"}},
    };
    return kSetters;
}

bool ApplyOption(const std::string& name, const std::string& value, Parsing& parsing,
                 std::string& error) {
    if (name == "--drive") {
        auto drive = platform::DriveMap::ParseEntry(value, &error);
        if (drive) {
            parsing.options.drives.Add(*drive);
        }
        return drive.has_value();
    }
    auto it = Setters().find(name);
    if (it == Setters().end()) {
        error = "unknown option " + name;
        return false;
    }
    if (!it->second.first(value, parsing)) {
        error = it->second.second;
        return false;
    }
    return true;
}

// The combinations the host refuses to start with.
bool CheckCombination(const HostOptions& options, std::string& error) {
    bool loopback = IsLoopbackAddress(options.listenAddress);
    if (options.tlsCertificate.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
    } else if ((options.signIn == SignInMode::Users || options.addUser) &&
               options.usersFile.empty()) {
        error = "the users file is missing: give --users FILE";
    } else if (options.addUser) {
        return true;  // adding a user serves nothing
    } else if (options.signIn == SignInMode::None && !loopback) {
        error = "refusing to serve " + options.listenAddress +
                " without sign-in: anyone who reaches it could work with the server's files. "
                "Use --sign-in system or --sign-in users, or listen on 127.0.0.1";
    } else if (!loopback && !options.Tls() && !options.plainHttp) {
        error = "refusing plain HTTP on " + options.listenAddress +
                ": give --tls-cert and --tls-key, or --plain-http when a TLS proxy is in front";
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool IsLoopbackAddress(const std::string& address) {
    if (address == "localhost" || address == "::1") {
        return true;
    }
    in_addr ipv4{};
    return ::inet_pton(AF_INET, address.c_str(), &ipv4) == 1 && (ntohl(ipv4.s_addr) >> 24) == 127;
}

fs::path DefaultDataFolder() {
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
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            error.clear();
            return std::nullopt;
        }
        if (name == "--debug" || name == "--plain-http") {
            (name == "--debug" ? options.debug : options.plainHttp) = true;
            continue;
        }
        std::string value;
        if (size_t equals = name.find('=');
            equals != std::string::npos && name.rfind("--", 0) == 0) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + " needs a value";
            return std::nullopt;
        }
        if (!ApplyOption(name, value, parsing, error)) {
            return std::nullopt;
        }
    }
    options.signIn = parsing.signIn.value_or(
        IsLoopbackAddress(options.listenAddress) ? SignInMode::None : SignInMode::System);
    if (options.dataFolder.empty()) {
        options.dataFolder = DefaultDataFolder();
    }
    if (options.auditLog.empty()) {
        options.auditLog = options.dataFolder / "audit.log";
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
           "  --listen ADDR:PORT      where to listen (default 127.0.0.1:8080)\n"
           "  --drive L=FOLDER[,TYPE][,VOLUME]\n"
           "                          map drive L: to FOLDER (repeatable); TYPE is fixed,\n"
           "                          network, removable, cdrom or ramdisk (default fixed)\n"
           "  --data DIR              without --drive, drive c: is DIR/c\n"
           "                          (default ~/.local/share/vantrel/data)\n"
           "  --web-root WINPATH      the web site's root folder (default c:\\inetpub\\wwwroot)\n"
           "  --page PATH             the application page's path (default /farbale.asp)\n"
           "  --registry DIR          the settings registry's folder\n"
           "  --debug                 every new session echoes its request fields\n"
           "  --threads N             requests served at once (default 32)\n"
           "  --min-free-space SIZE   free space extraction leaves on the disk: bytes, K, M, G\n"
           "                          or T (\"2G\"), or a percentage (\"5%\"); default 1G or 5%,\n"
           "                          whichever is smaller; 0 for none\n"
           "  --sign-in MODE          system (the server's accounts, PAM service vantrel),\n"
           "                          users (the --users file) or none; default none on a\n"
           "                          loopback address, else system\n"
           "  --users FILE            the users file: name:hash[:linux-account] a line\n"
           "  --add-user NAME[:ACCOUNT] --users FILE\n"
           "                          add or replace a user (password from standard input;\n"
           "                          ACCOUNT: the Linux account whose file rights it works\n"
           "                          with) and end\n"
           "  --tls-cert FILE --tls-key FILE\n"
           "                          serve HTTPS with this certificate (PEM) and key\n"
           "  --plain-http            serve plain HTTP on a non-loopback address (for a TLS\n"
           "                          proxy in front)\n"
           "  --audit-log FILE        one JSON line per operation and sign-in\n"
           "                          (default DIR/audit.log of --data)\n"
           "  --access-log FILE|-     one line per request, Common Log Format (default -,\n"
           "                          standard output)\n";
}

}  // namespace vantrel::host
