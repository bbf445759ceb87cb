#include "host/HostOptions.h"

#include <cstdlib>

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
    options.listenAddress = value.substr(0, colon);
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

bool ApplyOption(const std::string& name, const std::string& value, HostOptions& options,
                 std::string& error) {
    if (name == "--listen") {
        if (!ParseListen(value, options)) {
            error = "--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8080";
            return false;
        }
    } else if (name == "--drive") {
        auto drive = platform::DriveMap::ParseEntry(value, &error);
        if (!drive) {
            return false;
        }
        options.drives.Add(*drive);
    } else if (name == "--data") {
        options.dataFolder = value;
    } else if (name == "--web-root") {
        options.webRoot = value;
    } else if (name == "--page") {
        if (value.empty() || value[0] != '/') {
            error = "--page takes a path beginning with /";
            return false;
        }
        options.page = value;
    } else if (name == "--registry") {
        options.registry = value;
    } else if (name == "--threads") {
        if (!ParseThreads(value, options)) {
            error = "--threads takes a number from 1 to 1024";
            return false;
        }
    } else {
        error = "unknown option " + name;
        return false;
    }
    return true;
}

}  // namespace

fs::path DefaultDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return fs::path(data) / "vantrel" / "data";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "vantrel" / "data";
}

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error) {
    HostOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            error.clear();
            return std::nullopt;
        }
        if (name == "--debug") {
            options.debug = true;
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
        if (!ApplyOption(name, value, options, error)) {
            return std::nullopt;
        }
    }
    if (options.dataFolder.empty()) {
        options.dataFolder = DefaultDataFolder();
    }
    if (options.drives.Drives().empty()) {
        options.drives.Add({'c', options.dataFolder / "c", platform::DriveType::Fixed, "DATA"});
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
           "  --threads N             requests served at once (default 32)\n";
}

}  // namespace vantrel::host
