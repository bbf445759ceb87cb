#pragma once
// What a host running as root checks before it serves several accounts, each with its own file
// rights: settings they all can read, and users who all act as an account of their own.

#include <filesystem>
#include <string>

namespace vantrel::host {

bool RunningAsRoot();

// The settings registry must be readable by every account: an account that cannot read it would
// work without the administrator's limits. False with the reason when a folder on the way is closed
// to other users.
bool CheckRegistryReadable(const std::filesystem::path& root, std::string& error);

// Every user of the users file must name a Linux account to act as, and none may act as root.
bool CheckUsersActAsAccounts(const std::filesystem::path& usersFile, std::string& error);

}  // namespace vantrel::host
