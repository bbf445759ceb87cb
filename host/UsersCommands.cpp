#include "host/UsersCommands.h"

#include "host/PasswordPrompt.h"
#include "host/UsersFile.h"

namespace vantrel::host {

namespace {

bool AddUserFromOptions(const HostOptions& options, std::ostream& out, std::string& error) {
    std::string name = *options.addUser;
    std::optional<std::string> actsAs;
    if (size_t colon = name.find(':'); colon != std::string::npos) {
        actsAs = name.substr(colon + 1);
        name = name.substr(0, colon);
    }
    auto password = ReadNewPassword(error);
    if (!password || !AddUser(options.usersFile, name, actsAs, *password, error)) {
        return false;
    }
    out << "User " << name << " is in " << options.usersFile.string() << ".\n";
    return true;
}

// NAME, or NAME:ACCOUNT for a user who works with a Linux account's file rights: the form
// --add-user takes.
bool ListUsers(const HostOptions& options, std::ostream& out, std::string& error) {
    auto entries = ReadUsersFile(options.usersFile, error);
    if (!entries) {
        return false;
    }
    for (const auto& entry : *entries) {
        out << entry.name << (entry.actsAs.empty() ? "" : ":" + entry.actsAs) << '\n';
    }
    return true;
}

bool RemoveUserFromOptions(const HostOptions& options, std::ostream& out, std::string& error) {
    if (!RemoveUser(options.usersFile, *options.removeUser, error)) {
        return false;
    }
    out << "User " << *options.removeUser << " is no longer in " << options.usersFile.string()
        << ".\n";
    return true;
}

}  // namespace

int RunUsersCommand(const HostOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    bool done = options.addUser      ? AddUserFromOptions(options, out, error)
                : options.removeUser ? RemoveUserFromOptions(options, out, error)
                                     : ListUsers(options, out, error);
    if (!done) {
        err << "vantrel-host: " << error << "\n";
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace vantrel::host
