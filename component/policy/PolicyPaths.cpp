#include "component/policy/PolicyPaths.h"

#include "platform/drives/WindowsPath.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

using platform::HasDriveLetter;
using platform::TrimBlanks;

namespace {

bool HasParentSegment(std::string_view path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (TrimBlanks(path.substr(start, end - start)) == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool EndsInSeparator(std::string_view path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace

std::optional<std::string> NormalizePolicyPath(std::string_view path) {
    if (!HasDriveLetter(path)) {
        if (HasParentSegment(path)) {
            return std::nullopt;
        }
        return std::string(path);
    }
    auto normal = platform::NormalizeWindowsPath(path);
    if (!normal) {
        return std::nullopt;
    }
    if (EndsInSeparator(path) && normal->back() != '\\') {
        *normal += '\\';
    }
    return normal;
}

}  // namespace vantrel
