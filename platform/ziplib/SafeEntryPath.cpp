#include "platform/ziplib/SafeEntryPath.h"

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
        // A colon marks a drive ("c:") or an alternate stream: neither belongs below the target.
        if (segment == ".." || segment.find(':') != std::string_view::npos ||
            segment.find('\0') != std::string_view::npos) {
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
