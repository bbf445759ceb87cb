// vantrel-host: serves the zip-file manager's page on an embedded web server, or adds a user to
// the users file (--add-user).
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/PasswordPrompt.h"
#include "host/UsersFile.h"
#include "host/WebHost.h"

namespace {

using namespace vantrel::host;

int AddUserAndEnd(const HostOptions& options) {
    std::string name = *options.addUser;
    std::optional<std::string> actsAs;
    if (size_t colon = name.find(':'); colon != std::string::npos) {
        actsAs = name.substr(colon + 1);
        name = name.substr(0, colon);
    }
    std::string error;
    auto password = ReadNewPassword(error);
    if (!password || !AddUser(options.usersFile, name, actsAs, *password, error)) {
        std::cerr << "vantrel-host: " << error << "\n";
        return 1;
    }
    std::cout << "User " << name << " is in " << options.usersFile.string() << "." << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The time zone is read once, before any thread starts: without TZ the C library looks at
    // /etc/localtime again for every time it converts, and reading an archive converts the time
    // of every entry (a change of the zone takes effect when the host restarts).
    ::setenv("TZ", ":/etc/localtime", 0);
    std::string error;
    auto options = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << (error.empty() ? "" : "vantrel-host: " + error + "\n") << HostUsage();
        return error.empty() ? 0 : 2;
    }
    if (options->addUser) {
        return AddUserAndEnd(*options);
    }
    WebHost host(*options);
    if (!host.Prepare(error)) {
        std::cerr << "vantrel-host: " << error << "\n";
        return 1;
    }
    if (!host.Bind()) {
        std::cerr << "vantrel-host: cannot listen on " << options->listenAddress << ":"
                  << options->listenPort << "\n";
        return 1;
    }
    for (const auto& note : host.StartNotes()) {
        std::cout << note << "\n";
    }
    std::cout << "Vantrel is serving " << host.Address() << std::endl;
    return host.Run() ? 0 : 1;
}
