#include "platform/drives/DriveMap.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "platform/drives/WindowsPath.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/CaseFolding.h"
#include "platform/text/TextPieces.h"

namespace vantrel::platform {
namespace fs = std::filesystem;

namespace {}  // namespace

std::optional<DriveType> ParseDriveType(std::string_view name) {
    static const std::pair<std::string_view, DriveType> kNames[] = {
        {"fixed", DriveType::Fixed},         {"network", DriveType::Network},
        {"removable", DriveType::Removable}, {"cdrom", DriveType::CdRom},
        {"ramdisk", DriveType::RamDisk},     {"unknown", DriveType::Unknown}};
    for (const auto& [text, type] : kNames) {
        if (EqualsIgnoringCase(text, name)) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<Drive> DriveMap::ParseEntry(std::string_view entry, std::string* error) {
    auto fail = [&](std::string message) -> std::optional<Drive> {
        if (error) {
            *error = message + ": " + std::string(entry);
        }
        return std::nullopt;
    };
    char letter = entry.empty() ? '\0' : LowerAscii(entry[0]);
    if (entry.size() < 3 || entry[1] != '=' || letter < 'a' || letter > 'z') {
        return fail("a drive is LETTER=FOLDER[,TYPE][,VOLUME]");
    }
    auto fields = SplitText(entry.substr(2), ',');
    if (fields[0].empty()) {
        return fail("the drive has no folder");
    }
    Drive drive;
    drive.letter = LowerAscii(entry[0]);
    drive.folder = fs::path(std::string(fields[0]));
    if (fields.size() > 1 && !fields[1].empty()) {
        auto type = ParseDriveType(fields[1]);
        if (!type) {
            return fail("unknown drive type");
        }
        drive.type = *type;
    }
    if (fields.size() > 2) {
        drive.volumeName = std::string(fields[2]);
    }
    return drive;
}

std::optional<DriveMap> DriveMap::Parse(std::string_view spec, std::string* error) {
    DriveMap map;
    for (auto entry : SplitText(spec, ';')) {
        if (entry.empty()) {
            continue;
        }
        auto drive = ParseEntry(entry, error);
        if (!drive) {
            return std::nullopt;
        }
        map.Add(*drive);
    }
    return map;
}

std::shared_ptr<const DriveMap> DriveMap::FromEnvironment() {
    static std::mutex mutex;
    static std::optional<std::string> parsedSpec;
    static std::shared_ptr<const DriveMap> parsed;
    const char* variable = std::getenv(kDrivesVariable);
    std::string_view spec = variable ? variable : "";
    std::lock_guard lock(mutex);
    if (parsedSpec != spec) {
        auto map = Parse(spec);
        parsed = map ? std::make_shared<const DriveMap>(std::move(*map)) : nullptr;
        parsedSpec = spec;
    }
    return parsed;
}

void DriveMap::Add(Drive drive) {
    auto same = std::find_if(drives_.begin(), drives_.end(),
                             [&](const Drive& d) { return d.letter == drive.letter; });
    if (same != drives_.end()) {
        *same = std::move(drive);
    } else {
        drives_.push_back(std::move(drive));
    }
}

const Drive* DriveMap::Find(char letter) const {
    char lower = LowerAscii(letter);
    for (const auto& drive : drives_) {
        if (drive.letter == lower) {
            return &drive;
        }
    }
    return nullptr;
}

std::string DriveMap::ToSpec() const {
    static const char* kTypeNames[] = {"unknown", "removable", "fixed",
                                       "network", "cdrom",     "ramdisk"};
    std::string spec;
    for (const auto& drive : drives_) {
        if (!spec.empty()) {
            spec += ';';
        }
        spec += std::string{drive.letter, '='} + drive.folder.string() + "," +
                kTypeNames[static_cast<int>(drive.type)] + "," + drive.volumeName;
    }
    return spec;
}

}  // namespace vantrel::platform
