#pragma once
// The drive map turns Windows drive letters into Linux folders, like Wine's drive letters. The file
// layer opens every path beneath its drive's folder (platform/files/ConfinedPath.h).

#include <filesystem>
#include <memory>
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

    // The process's map (VANTREL_DRIVES): parsed when first asked for, and again only once the
    // variable has changed (a test may change it), so opening a file never parses it. No drives
    // when the variable is not set; null when it holds no valid map.
    static std::shared_ptr<const DriveMap> FromEnvironment();

    void Add(Drive drive);  // replaces an earlier drive with the same letter
    const std::vector<Drive>& Drives() const { return drives_; }
    const Drive* Find(char letter) const;
    std::string ToSpec() const;

  private:
    std::vector<Drive> drives_;
};

}  // namespace vantrel::platform
