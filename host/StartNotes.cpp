#include "host/StartNotes.h"

#include <pwd.h>
#include <unistd.h>

#include "host/RootHost.h"

namespace vantrel::host {

namespace {

std::string HostAccountName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return found->pw_name;
    }
    return "uid " + std::to_string(::geteuid());
}

void AddWhoMayUse(std::vector<std::string>& notes, const HostOptions& options,
                  bool switchesFileRights) {
    std::string self = HostAccountName();
    if (options.signIn == SignInMode::None) {
        notes.push_back("No sign-in: " + options.listenAddress +
                        " is a loopback address, and everyone who reaches it works with the file "
                        "rights of " +
                        self + ".");
        if (RunningAsRoot()) {
            notes.push_back(
                "Warning: running as root without sign-in gives every local user "
                "root's file rights through this page.");
        }
        return;
    }
    notes.push_back(std::string("Sign-in: ") +
                    (options.signIn == SignInMode::System
                         ? "the server's accounts (PAM service vantrel)."
                         : "the users of " + options.usersFile.string() + "."));
    notes.push_back(switchesFileRights
                        ? "Running as root: each signed-in user works with their own "
                          "account's file rights."
                        : "Not running as root: every signed-in user works with the file "
                          "rights of " +
                              self + ".");
}

void AddWhereItListens(std::vector<std::string>& notes, const HostOptions& options) {
    if (options.OnSocket()) {
        notes.push_back("Unix socket " + options.listenSocket.string() + " (mode 0660, group " +
                        (options.socketGroup.empty() ? "root" : options.socketGroup) +
                        "): every request over it comes from the proxy in front.");
    } else if (!options.Tls() && !IsLoopbackAddress(options.listenAddress)) {
        notes.push_back("Plain HTTP on " + options.listenAddress +
                        ": meant for a TLS proxy in front.");
    }
    std::string names = options.OnSocket() ? "localhost" : options.listenAddress + ", localhost";
    for (const auto& name : options.serverNames) {
        names += ", " + name;
    }
    notes.push_back("Answers to the names " + names + " (more with --server-name).");
}

}  // namespace

std::string ServedAddress(const HostOptions& options) {
    if (options.OnSocket()) {
        return "unix:" + options.listenSocket.string() + " (" + options.page + ")";
    }
    return std::string(options.Tls() ? "https://" : "http://") + options.listenAddress + ":" +
           std::to_string(options.listenPort) + options.page;
}

std::vector<std::string> StartNotes(const HostOptions& options, bool switchesFileRights) {
    std::vector<std::string> notes;
    AddWhoMayUse(notes, options, switchesFileRights);
    AddWhereItListens(notes, options);
    notes.push_back("Audit log: " + options.auditLog.string() + ".");
    return notes;
}

}  // namespace vantrel::host
