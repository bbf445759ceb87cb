// vantrel-host: serves the zip-file manager's page on an embedded web server, checks its
// configuration (--check-config), or adds a user to the users file (--add-user).
#include <systemd/sd-daemon.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/ConfigCheck.h"
#include "host/PasswordPrompt.h"
#include "host/SignalWatcher.h"
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

// Serves until SIGTERM or SIGINT, then stops cleanly: exit status 0.
int Serve(const HostOptions& options) {
    // Before any thread starts, so that only the watcher takes the stop and reopen signals.
    SignalWatcher::BlockSignals();
    WebHost host(options);
    std::string error;
    if (!host.Prepare(error)) {
        std::cerr << "vantrel-host: " << error << "\n";
        return 1;
    }
    if (!host.Bind()) {
        std::cerr << "vantrel-host: cannot listen on " << ListenText(options) << "\n";
        return 1;
    }
    for (const auto& note : host.StartNotes()) {
        std::cout << note << "\n";
    }
    std::cout << "Vantrel is serving " << host.Address() << std::endl;
    // Under systemd (Type=notify) the service counts as started once it listens.
    sd_notify(0, "READY=1");
    std::atomic<bool> stopping = false;
    SignalWatcher watcher(std::chrono::seconds(options.stopTimeoutSeconds),
                          {[&] {
                               if (!stopping.exchange(true)) {
                                   sd_notify(0, "STOPPING=1");
                                   std::cout << "Stopping: no new connections; "
                                             << host.RunningOperations()
                                             << " operation(s) running get "
                                             << options.stopTimeoutSeconds << " s to finish."
                                             << std::endl;
                               }
                               host.Stop();
                           },
                           [&] {
                               std::cout << "Stopping: aborting the " << host.RunningOperations()
                                         << " operation(s) still running." << std::endl;
                               host.AbortOperations();
                           },
                           [&] {
                               host.ReopenLogs();
                               host.ReloadUsersFile();
                           }});
    bool served = host.Run();
    host.FlushLogs();
    std::cout << "Stopped." << std::endl;
    return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The time zone is read once, before any thread starts: without TZ the C library looks at
    // /etc/localtime again for every time it converts, and reading an archive converts the time
    // of every entry (a change of the zone takes effect when the host restarts).
    ::setenv("TZ", ":/etc/localtime", 0);
    std::string error;
    auto options = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options && error.empty()) {
        std::cout << HostUsage();
        return 0;
    }
    if (!options) {
        std::cerr << "vantrel-host: " << error << "\n(vantrel-host --help lists the options)\n";
        return 2;
    }
    if (options->checkConfig) {
        return CheckConfiguration(*options, std::cout, std::cerr);
    }
    if (options->addUser) {
        return AddUserAndEnd(*options);
    }
    return Serve(*options);
}
