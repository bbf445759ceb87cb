#include "platform/registry/Registry.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "platform/text/AsciiCase.h"

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

// The existing child of folder whose name equals name but for case.
std::optional<fs::path> FindChild(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::is_directory(folder / name, ec)) {
        return folder / name;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && EqualsIgnoringCase(it->path().filename().string(), name)) {
            return it->path();
        }
    }
    return std::nullopt;
}

// Walks the backslash-separated key names below folder; creates missing keys when asked.
std::optional<fs::path> Descend(fs::path folder, const char* subKey, bool create) {
    std::stringstream names(subKey ? subKey : "");
    std::string name;
    while (std::getline(names, name, '\\')) {
        if (name.empty()) {
            continue;
        }
        if (name == "." || name == ".." || name == kDefaultValueFile) {
            return std::nullopt;
        }
        auto child = FindChild(folder, name);
        if (!child) {
            if (!create) {
                return std::nullopt;
            }
            std::error_code ec;
            fs::create_directories(folder / name, ec);
            if (ec) {
                return std::nullopt;
            }
            child = folder / name;
        }
        folder = *child;
    }
    return folder;
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
    } else if (!fs::is_directory(*base)) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto folder = Descend(*base, subKey, create);
    if (!folder) {
        return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(*folder);
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
    auto folder = Descend(*base, subKey, false);
    if (!folder) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::ifstream in(*folder / kDefaultValueFile, std::ios::binary);
    if (!in) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
