#include "component/policy/PolicyPaths.h"

#include <cctype>

#include "platform/drives/WindowsPath.h"

namespace vantrel {

namespace {

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

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

std::string TrimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::vector<std::string> SplitJoinedPaths(std::string_view text) {
    std::vector<std::string> members;
    size_t start = 0;
    while (start <= text.size()) {
        size_t bar = text.find('|', start);
        if (bar == std::string_view::npos) {
            bar = text.size();
        }
        std::string member = TrimBlanks(text.substr(start, bar - start));
        if (!member.empty()) {
            members.push_back(std::move(member));
        }
        start = bar + 1;
    }
    if (members.empty()) {
        members.emplace_back();
    }
    return members;
}

std::vector<std::string> InFolderOfFirst(std::vector<std::string> members) {
    if (members.empty() || !HasDriveLetter(members.front())) {
        return members;
    }
    std::string folder = members.front().substr(0, members.front().find_last_of("\\/") + 1);
    for (size_t i = 1; i < members.size(); ++i) {
        if (!HasDriveLetter(members[i])) {
            members[i] = folder + members[i];
        }
    }
    return members;
}

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
