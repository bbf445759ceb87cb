#include "platform/drives/WindowsPath.h"

#include "platform/text/AsciiCase.h"

namespace vantrel::platform {

std::string WindowsPath::ToString() const {
    std::string text{drive, ':'};
    if (segments.empty()) {
        return text + "\\";
    }
    for (const auto& segment : segments) {
        text += "\\" + segment;
    }
    return text;
}

bool HasDriveLetter(std::string_view path) {
    // Drive letters are ASCII whatever the locale.
    const char letter = path.empty() ? '\0' : LowerAscii(path[0]);
    return path.size() >= 2 && path[1] == ':' && letter >= 'a' && letter <= 'z';
}

std::optional<WindowsPath> ParseWindowsPath(std::string_view path) {
    if (!HasDriveLetter(path)) {
        return std::nullopt;
    }
    WindowsPath parsed;
    parsed.drive = LowerAscii(path[0]);
    std::string segment;
    auto flush = [&]() -> bool {
        if (segment == "..") {
            if (parsed.segments.empty()) {
                return false;
            }
            parsed.segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            parsed.segments.push_back(segment);
        }
        segment.clear();
        return true;
    };
    for (char c : path.substr(2)) {
        if (c == '\\' || c == '/') {
            if (!flush()) {
                return std::nullopt;
            }
        } else {
            segment += c;
        }
    }
    if (!flush()) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::string> NormalizeWindowsPath(std::string_view path) {
    auto parsed = ParseWindowsPath(path);
    if (!parsed) {
        return std::nullopt;
    }
    return parsed->ToString();
}

bool IsWindowsName(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

}  // namespace vantrel::platform
