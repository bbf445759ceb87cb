#pragma once
// The users file of the host's own accounts: one account a line, "name:hash" or
// "name:hash:linux-account", the hash from the C library's crypt() (yescrypt, "$y$"). The third
// field names the Linux account whose file rights the user works with; without it the user works
// with the host's own. Blank lines and lines beginning with "#" are ignored.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::host {

struct UserEntry {
    std::string name;
    std::string hash;
    std::string actsAs;  // empty: the host's own account
};

// Printable, at most 64 bytes, no blank and no ":" (UTF-8 letters are fine).
bool IsValidUserName(const std::string& name);

// The entries of the file; nullopt with the reason (and line number) when it cannot be read, a
// line is not of the form above, or an account other than root and the host's own could change it
// (it belongs to another account, group or others may write it or replace it in its folder).
std::optional<std::vector<UserEntry>> ReadUsersFile(const std::filesystem::path& file,
                                                    std::string& error);

// A fresh yescrypt hash of the password; empty when the C library cannot make one.
std::string HashPassword(const std::string& password);
// Whether the password matches the hash. Takes as long for a name that is not there
// (VerifyNoUser) as for a wrong password, so timing tells nothing about which names exist.
bool VerifyPassword(const std::string& password, const std::string& hash);
void VerifyNoUser(const std::string& password);

// Adds the user, or replaces the line of a user of that name, atomically: readers see the old file
// or the new one, never a part. actsAs nullopt keeps a replaced line's third field. False with the
// reason when the name or account is not acceptable, the password is shorter than 8 characters, or
// the file cannot be written.
bool AddUser(const std::filesystem::path& file, const std::string& name,
             const std::optional<std::string>& actsAs, const std::string& password,
             std::string& error);

// Removes the user's line, atomically as AddUser writes. False with the reason when there is no
// such user or the file cannot be read or written.
bool RemoveUser(const std::filesystem::path& file, const std::string& name, std::string& error);

}  // namespace vantrel::host
