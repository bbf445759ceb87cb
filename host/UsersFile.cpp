#include "host/UsersFile.h"

#include <crypt.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kShortestPassword = 8;

std::optional<UserEntry> ParseLine(const std::string& line) {
    UserEntry entry;
    size_t first = line.find(':');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    size_t second = line.find(':', first + 1);
    entry.name = line.substr(0, first);
    entry.hash = line.substr(first + 1,
                             second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos) {
        entry.actsAs = line.substr(second + 1);
        if (entry.actsAs.find(':') != std::string::npos || !IsValidUserName(entry.actsAs)) {
            return std::nullopt;
        }
    }
    if (!IsValidUserName(entry.name) || entry.hash.empty()) {
        return std::nullopt;
    }
    return entry;
}

bool IsIgnored(const std::string& line) {
    return line.empty() || line[0] == '#';
}

std::string Crypt(const std::string& password, const char* setting) {
    auto data = std::make_unique<crypt_data>();
    const char* hash =
        ::crypt_rn(password.c_str(), setting, data.get(), static_cast<int>(sizeof(crypt_data)));
    return hash && hash[0] != '*' ? hash : "";
}

bool EqualInConstantTime(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// Writes text to a new file beside `file` and renames it over `file`; the new file takes the old
// one's mode and owner, or 0600 for a first file (it holds password hashes).
bool ReplaceAtomically(const fs::path& file, const std::string& text, std::string& error) {
    std::string pattern = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX"));
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot write beside " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat old {};
    bool ok = true;
    if (::stat(file.c_str(), &old) == 0) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0 && ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    ok = ok && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
         ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(pattern.c_str(), file.c_str()) != 0) {
        error = "cannot write " + file.string() + ": " + std::strerror(errno);
        ::unlink(pattern.c_str());
        return false;
    }
    return true;
}

// Unicode characters, as a person counts them: the bytes that do not continue a UTF-8 sequence.
size_t CharacterCount(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    }));
}

// Rewrites the file through edit (the old lines in, the new text out; false keeps the file as it
// is). Two writers at once take turns on the folder, so neither loses the other's change.
bool RewriteLocked(const fs::path& file, std::string& error,
                   const std::function<bool(std::istream&, std::ostream&)>& edit) {
    fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0 || ::flock(folderFd, LOCK_EX) != 0) {
        error = "cannot open the folder " + folder.string();
        if (folderFd >= 0) {
            ::close(folderFd);
        }
        return false;
    }
    std::ifstream in(file);
    std::error_code missing;
    std::ostringstream text;
    bool ok = false;
    if (!in && fs::exists(file, missing)) {
        error = "cannot read the users file " + file.string();
    } else {
        ok = edit(in, text) && ReplaceAtomically(file, text.str(), error);
    }
    ::close(folderFd);
    return ok;
}

// Whether only root and the host's own account can change what the file says: it may not belong to
// another account nor be writable by group or others, and its folder may not let anyone else put
// another file in its place. Refusing it keeps any other account from writing itself in.
bool IsGuarded(int fd, const fs::path& file, std::string& error) {
    auto trusted = [](uid_t owner) { return owner == 0 || owner == ::geteuid(); };
    struct stat info {};
    struct stat folder {};
    fs::path folderPath = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string why;
    if (::fstat(fd, &info) != 0 || ::stat(folderPath.c_str(), &folder) != 0) {
        why = "it cannot be looked at";
    } else if (!trusted(info.st_uid)) {
        why = "it belongs to another account (user id " + std::to_string(info.st_uid) + ")";
    } else if (info.st_mode & (S_IWGRP | S_IWOTH)) {
        why = "group or others may write it (chmod go-w " + file.string() + ")";
    } else if (!trusted(folder.st_uid) ||
               ((folder.st_mode & (S_IWGRP | S_IWOTH)) && !(folder.st_mode & S_ISVTX))) {
        why = "other accounts may replace it in its folder " + folderPath.string();
    }
    if (!why.empty()) {
        error = "refusing the users file " + file.string() + ": " + why +
                "; only root and the host's own account may change it";
    }
    return why.empty();
}

}  // namespace

bool IsValidUserName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength) {
        return false;
    }
    for (unsigned char c : name) {
        if (c <= ' ' || c == ':' || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::optional<std::vector<UserEntry>> ReadUsersFile(const fs::path& file, std::string& error) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read the users file " + file.string();
        return std::nullopt;
    }
    bool guarded = IsGuarded(fd, file, error);
    std::string whole;
    char buffer[8192];
    ssize_t got = 0;
    while (guarded && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
        whole.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    if (guarded && got < 0) {
        error = "cannot read the users file " + file.string();
    }
    if (!guarded || got < 0) {
        return std::nullopt;
    }
    std::istringstream in(whole);
    std::vector<UserEntry> entries;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (IsIgnored(line)) {
            continue;
        }
        auto entry = ParseLine(line);
        if (!entry) {
            error = file.string() + " line " + std::to_string(number) +
                    " is not name:hash or name:hash:linux-account";
            return std::nullopt;
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::string HashPassword(const std::string& password) {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!::crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting)) {
        return {};
    }
    return Crypt(password, setting);
}

bool VerifyPassword(const std::string& password, const std::string& hash) {
    std::string computed = Crypt(password, hash.c_str());
    return !computed.empty() && EqualInConstantTime(computed, hash);
}

void VerifyNoUser(const std::string& password) {
    static const std::string dummy = HashPassword("no such user");
    VerifyPassword(password, dummy);
}

bool AddUser(const fs::path& file, const std::string& name,
             const std::optional<std::string>& actsAs, const std::string& password,
             std::string& error) {
    if (!IsValidUserName(name)) {
        error = "a user name is 1 to 64 printable characters without blanks or \":\"";
        return false;
    }
    if (actsAs && (!IsValidUserName(*actsAs) || !::getpwnam(actsAs->c_str()))) {
        error = "there is no Linux account " + *actsAs;
        return false;
    }
    if (CharacterCount(password) < kShortestPassword) {
        error = "the password is shorter than " + std::to_string(kShortestPassword) + " characters";
        return false;
    }
    std::string hash = HashPassword(password);
    if (hash.empty()) {
        error = "the C library cannot make a yescrypt hash";
        return false;
    }
    return RewriteLocked(file, error, [&](std::istream& in, std::ostream& text) {
        bool replaced = false;
        std::string line;
        while (std::getline(in, line)) {
            auto entry = IsIgnored(line) ? std::nullopt : ParseLine(line);
            if (entry && entry->name == name) {
                std::string account = actsAs.value_or(entry->actsAs);
                text << name << ':' << hash << (account.empty() ? "" : ":" + account) << '\n';
                replaced = true;
            } else {
                text << line << '\n';
            }
        }
        if (!replaced) {
            text << name << ':' << hash << (actsAs && !actsAs->empty() ? ":" + *actsAs : "")
                 << '\n';
        }
        return true;
    });
}

bool RemoveUser(const fs::path& file, const std::string& name, std::string& error) {
    return RewriteLocked(file, error, [&](std::istream& in, std::ostream& text) {
        bool removed = false;
        std::string line;
        while (std::getline(in, line)) {
            auto entry = IsIgnored(line) ? std::nullopt : ParseLine(line);
            if (entry && entry->name == name) {
                removed = true;
            } else {
                text << line << '\n';
            }
        }
        if (!removed) {
            error = "there is no user " + name + " in " + file.string();
        }
        return removed;
    });
}

}  // namespace vantrel::host
