#pragma once
// A file-backed registry with the calls and return codes of the Windows registry's ANSI functions.
// On disk it is plain and scriptable: one folder per key below the root, and a key's default value
// is the file named "@" in its folder, holding exactly the text's bytes. Key names compare without
// regard to case. Both the web component and the security dialog use it.

#include <cstdint>
#include <filesystem>

namespace vantrel::registry {

using HKEY = std::intptr_t;
using LONG = std::int32_t;
using DWORD = std::uint32_t;

inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002);
inline constexpr DWORD REG_SZ = 1;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;

// The environment variable that names the root folder for every process.
inline constexpr const char* kRegistryVariable = "VANTREL_REGISTRY";

// The root folder: the one set by SetRegistryRoot, else VANTREL_REGISTRY, else DefaultRegistryRoot.
std::filesystem::path RegistryRoot();
// Overrides the root for this process (an empty path undoes it).
void SetRegistryRoot(const std::filesystem::path& root);
// An installed program's settings folder (/etc/vantrel/settings, see platform/install), else
// $XDG_DATA_HOME/vantrel/registry, or ~/.local/share/vantrel/registry.
std::filesystem::path DefaultRegistryRoot();

// Opens an existing key below key; *result receives a handle to close with RegCloseKey.
// ERROR_FILE_NOT_FOUND when the key does not exist; ERROR_ACCESS_DENIED when the store cannot be
// read on the way (a folder that cannot be searched, a file where a key should be).
LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result);
// Opens a key, creating it and every missing key above it.
LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);
// Reads the default value of key\subKey (of key itself when subKey is null or empty). *dataSize is
// the buffer's size in bytes on entry and the text's size with its terminating NUL on return;
// ERROR_MORE_DATA when the buffer is too small, ERROR_FILE_NOT_FOUND when there is no value, and
// ERROR_ACCESS_DENIED when there is one that cannot be read (no permission, not a plain file).
LONG RegQueryValueA(HKEY key, const char* subKey, char* data, LONG* dataSize);
// Stores text as the default value of key\subKey, replacing the old value atomically: a reader
// sees the old text or the new one, never half of it. Only REG_SZ is accepted.
LONG RegSetValueA(HKEY key, const char* subKey, DWORD type, const char* data, DWORD dataSize);
LONG RegCloseKey(HKEY key);

}  // namespace vantrel::registry
