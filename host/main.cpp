// vantrel-host: serves the zip-file manager's page on an embedded web server, checks its
// configuration (--check-config), or manages the users file (--add-user, --list-users,
// --remove-user).
#include <systemd/sd-daemon.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "host/ConfigCheck.h"
#include "host/JournalLines.h"
#include "host/SignalWatcher.h"
#include "host/UsersCommands.h"
#include "host/WebHost.h"

namespace {

using namespace vantrel::host;

// Serves until SIGTERM or SIGINT, then stops cleanly: exit status 0.
int Serve(const HostOptions& options) {
    // Before any thread starts, so that only the watcher takes the stop and reopen signals.
    SignalWatcher::BlockSignals();
    WebHost host(options);
    std::string error;
    if (!host.Prepare(error)) {
        Say(Priority::Error, "vantrel-host: " + error);
        return 1;
    }
    if (!host.Bind()) {
        Say(Priority::Error, "vantrel-host: cannot listen on " + ListenText(options));
        return 1;
    }
    for (const auto& note : host.StartNotes()) {
        Say(note.starts_with("Warning:") ? Priority::Warning : Priority::Notice, note);
    }
    Say(Priority::Notice, "Vantrel is serving " + host.Address());
    // Under systemd (Type=notify) the service counts as started once it listens.
    sd_notify(0, "READY=1");
    std::atomic<bool> stopping = false;
    SignalWatcher watcher(
        std::chrono::seconds(options.stopTimeoutSeconds),
        {[&] {
             if (!stopping.exchange(true)) {
                 sd_notify(0, "STOPPING=1");
                 Say(Priority::Notice,
                     "Stopping: no new connections; " + std::to_string(host.RunningOperations()) +
                         " operation(s) running get " + std::to_string(options.stopTimeoutSeconds) +
                         " s to finish.");
             }
             host.Stop();
         },
         [&] {
             Say(Priority::Warning, "Stopping: aborting the " +
                                        std::to_string(host.RunningOperations()) +
                                        " operation(s) still running.");
             host.AbortOperations();
         },
         [&] {
             host.ReopenLogs();
             host.ReloadUsersFile();
         }});
    bool served = host.Run();
    host.FlushLogs();
    Say(Priority::Notice, "Stopped.");
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
        Say(Priority::Error,
            "vantrel-host: " + error + "\n(vantrel-host --help lists the options)");
        return 2;
    }
    if (options->version) {
        std::cout << "vantrel-host " << VANTREL_VERSION << std::endl;
        return 0;
    }
    if (options->checkConfig) {
        return CheckConfiguration(*options, std::cout, std::cerr);
    }
    if (options->ManagesUsers()) {
        return RunUsersCommand(*options, std::cout, std::cerr);
    }
    return Serve(*options);
}
