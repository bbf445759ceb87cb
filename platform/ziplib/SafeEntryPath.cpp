#include "platform/ziplib/SafeEntryPath.h"

#include "platform/drives/WindowsPath.h"

namespace vantrel::ziplib {

namespace {

// Calls take for every segment of a safe name; false for an unsafe one or one without segments.
template <typename Take>
bool ForEachSafeSegment(std::string_view name, Take take) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') {
        return false;
    }
    bool any = false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        end = end == std::string_view::npos ? name.size() : end;
        std::string_view segment = name.substr(start, end - start);
        // A first segment such as "c:" names a drive, never a place below the target. Elsewhere
        // a colon is an ordinary character of a Linux name (no alternate streams here).
        bool driveQualified = start == 0 && platform::HasDriveLetter(segment);
        if (segment == ".." || driveQualified || segment.find('\0') != std::string_view::npos) {
            return false;
        }
        if (!segment.empty() && segment != ".") {
            take(segment);
            any = true;
        }
        start = end + 1;
    }
    return any;
}

}  // namespace

std::optional<std::vector<std::string>> SafeEntrySegments(std::string_view name) {
    std::vector<std::string> segments;
    if (!ForEachSafeSegment(name,
                            [&](std::string_view segment) { segments.emplace_back(segment); })) {
        return std::nullopt;
    }
    return segments;
}

bool IsSafeEntryName(std::string_view name) {
    return ForEachSafeSegment(name, [](std::string_view) {});
}

}  // namespace vantrel::ziplib
