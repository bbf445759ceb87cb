#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "platform/install/Installation.h"
#include "platform/text/CaseFolding.h"

namespace vantrel::registry {
namespace fs = std::filesystem;
using platform::EqualsIgnoringCase;

namespace {

constexpr const char* kHiveName = "HKEY_LOCAL_MACHINE";
constexpr const char* kDefaultValueFile = "@";

std::mutex g_mutex;
fs::path g_rootOverride;
std::map<HKEY, fs::path> g_handles;
HKEY g_nextHandle = 1;

std::optional<fs::path> FolderOf(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return RegistryRoot() / kHiveName;
    }
    std::lock_guard lock(g_mutex);
    auto it = g_handles.find(key);
    if (it == g_handles.end()) {
        return std::nullopt;
    }
    return it->second;
}

// What a path in the store is: a key's folder, nothing, or something that cannot be read as a key
// (a file in a key's place, a folder that cannot be searched). A store in such a state is
// reported, never taken for missing.
LONG KeyFolderStatus(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // Only ENOENT is "missing": ENOTDIR means a file stands where a key's folder should be.
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    return S_ISDIR(info.st_mode) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// The existing child of folder whose name equals name but for case; ERROR_FILE_NOT_FOUND when there
// is none, ERROR_ACCESS_DENIED when the folder cannot be read.
LONG FindChild(const fs::path& folder, const std::string& name, fs::path& child) {
    if (LONG status = KeyFolderStatus(folder / name); status != ERROR_FILE_NOT_FOUND) {
        child = folder / name;
        return status;
    }
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (EqualsIgnoringCase(it->path().filename().string(), name)) {
            child = it->path();
            return KeyFolderStatus(child);
        }
    }
    return ec ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
}

// Walks the backslash-separated key names below folder; creates missing keys when asked.
LONG Descend(fs::path folder, const char* subKey, bool create, fs::path& result) {
    std::stringstream names(subKey ? subKey : "");
    std::string name;
    while (std::getline(names, name, '\\')) {
        if (name.empty()) {
            continue;
        }
        if (name == "." || name == ".." || name == kDefaultValueFile) {
            return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        }
        fs::path child;
        LONG status = FindChild(folder, name, child);
        if (status == ERROR_FILE_NOT_FOUND && create) {
            std::error_code ec;
            fs::create_directories(folder / name, ec);
            status = ec ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
            child = folder / name;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        folder = child;
    }
    result = folder;
    return ERROR_SUCCESS;
}

// Reads a whole value file: ERROR_FILE_NOT_FOUND when there is none, ERROR_ACCESS_DENIED when
// something is there that cannot be read as a value (no permission, a folder, a read error).
LONG ReadValueFile(const fs::path& file, std::string& text) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    struct stat info {};
    LONG status =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    char buffer[4096];
    while (status == ERROR_SUCCESS) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            status = got == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return status;
}

HKEY NewHandle(const fs::path& folder) {
    std::lock_guard lock(g_mutex);
    HKEY handle = g_nextHandle++;
    g_handles[handle] = folder;
    return handle;
}

LONG OpenOrCreate(HKEY key, const char* subKey, HKEY* result, bool create) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    auto base = FolderOf(key);
    if (!base) {
        return ERROR_INVALID_HANDLE;
    }
    if (create) {
        std::error_code ec;
        fs::create_directories(*base, ec);
        if (ec) {
            return ERROR_ACCESS_DENIED;
        }
    } else if (LONG status = KeyFolderStatus(*base); status != ERROR_SUCCESS) {
        return status;
    }
    fs::path folder;
    if (LONG status = Descend(*base, subKey, create, folder); status != ERROR_SUCCESS) {
        return status;
    }
    *result = NewHandle(folder);
    return ERROR_SUCCESS;
}

bool WriteAtomically(const fs::path& target, const char* data, size_t size) {
    std::random_device random;
    fs::path temporary = target.parent_path() / (".@." + std::to_string(random()) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(data, static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace

fs::path DefaultRegistryRoot() {
    if (const auto& installed = platform::Installation()) {
        return installed->settings;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return fs::path(data) / "vantrel" / "registry";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "vantrel" / "registry";
}

fs::path RegistryRoot() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_rootOverride.empty()) {
            return g_rootOverride;
        }
    }
    if (const char* root = std::getenv(kRegistryVariable); root && *root) {
        return root;
    }
    return DefaultRegistryRoot();
}

void SetRegistryRoot(const fs::path& root) {
    std::lock_guard lock(g_mutex);
    g_rootOverride = root;
}

LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result) {
    return OpenOrCreate(key, subKey, result, false);
}

LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
    return OpenOrCreate(key, subKey, result, true);
}

LONG RegQueryValueA(HKEY key, const char* subKey, char* data, LONG* dataSize) {
    auto base = FolderOf(key);
    if (!base) {
        return ERROR_INVALID_HANDLE;
    }
    fs::path folder;
    if (LONG status = Descend(*base, subKey, false, folder); status != ERROR_SUCCESS) {
        return status;
    }
    std::string text;
    if (LONG status = ReadValueFile(folder / kDefaultValueFile, text); status != ERROR_SUCCESS) {
        return status;
    }
    // A registry text ends at its first NUL.
    text.resize(std::strlen(text.c_str()));
    LONG needed = static_cast<LONG>(text.size() + 1);
    if (!dataSize) {
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    }
    if (data && *dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (data) {
        std::memcpy(data, text.c_str(), text.size() + 1);
    }
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueA(HKEY key, const char* subKey, DWORD type, const char* data, DWORD dataSize) {
    if (type != REG_SZ || !data) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY target = 0;
    LONG status = RegCreateKeyA(key, subKey, &target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    auto folder = FolderOf(target);
    RegCloseKey(target);
    size_t length = strnlen(data, dataSize);
    if (!folder || !WriteAtomically(*folder / kDefaultValueFile, data, length)) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(g_mutex);
    return g_handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace vantrel::registry
