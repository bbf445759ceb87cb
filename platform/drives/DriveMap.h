#pragma once
// The drive map turns Windows drive letters into Linux folders, like Wine's drive letters. Every
// path handed to the file layer goes through it and stays confined to its drive's folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The numbers are those a Windows file-system object reports for a drive's type.
enum class DriveType { Unknown = 0, Removable = 1, Fixed = 2, Network = 3, CdRom = 4, RamDisk = 5 };

std::optional<DriveType> ParseDriveType(std::string_view name);  // "fixed", "cdrom", ...

struct Drive {
    char letter = 0;  // lower case
    std::filesystem::path folder;
    DriveType type = DriveType::Fixed;
    std::string volumeName;
};

// The environment variable that carries the map to every process: entries as for the host's
// --drive option, separated by ";".
inline constexpr const char* kDrivesVariable = "VANTREL_DRIVES";

class DriveMap {
  public:
    // "c=/srv/c[,TYPE][,VOLUME]"; TYPE is fixed (default), network, removable, cdrom or ramdisk.
    static std::optional<Drive> ParseEntry(std::string_view entry, std::string* error = nullptr);
    // Entries separated by ";"; empty entries are skipped.
    static std::optional<DriveMap> Parse(std::string_view spec, std::string* error = nullptr);

    // The process's map: VANTREL_DRIVES, read at each call so a test can change it.
    static DriveMap FromEnvironment();

    void Add(Drive drive);  // replaces an earlier drive with the same letter
    const std::vector<Drive>& Drives() const { return drives_; }
    const Drive* Find(char letter) const;
    std::string ToSpec() const;

    // The Linux path of a Windows path, or nullopt when it has no mapped drive or would leave the
    // drive's folder ("..", or a symbolic link that points outside). A segment that does not exist
    // with its exact spelling matches an existing name that differs only in case, as on Windows.
    std::optional<std::filesystem::path> ToLinux(std::string_view windowsPath) const;

  private:
    std::vector<Drive> drives_;
};

// Convenience for layers that have no map of their own: DriveMap::FromEnvironment().ToLinux(path).
std::optional<std::filesystem::path> MapWindowsPath(std::string_view windowsPath);

}  // namespace vantrel::platform
