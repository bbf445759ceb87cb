#include "platform/ziplib/SafeEntryPath.h"

#include "platform/drives/WindowsPath.h"

namespace vantrel::ziplib {

std::optional<std::vector<std::string>> SafeEntrySegments(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') {
        return std::nullopt;
    }
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        end = end == std::string_view::npos ? name.size() : end;
        std::string_view segment = name.substr(start, end - start);
        // A first segment such as "c:" names a drive, never a place below the target. Elsewhere
        // a colon is an ordinary character of a Linux name (no alternate streams here).
        bool driveQualified = start == 0 && platform::HasDriveLetter(segment);
        if (segment == ".." || driveQualified || segment.find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        if (!segment.empty() && segment != ".") {
            segments.emplace_back(segment);
        }
        start = end + 1;
    }
    if (segments.empty()) {
        return std::nullopt;
    }
    return segments;
}

}  // namespace vantrel::ziplib
