// The administrator's include and exclude lists of paths.
#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/policy/PathLists.h"
#include "component/policy/PolicyPaths.h"
#include "platform/drives/JoinedPaths.h"
#include "platform/text/CaseFolding.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

using platform::FoldCase;
using platform::InFolderOfFirst;
using platform::SplitJoinedPaths;
using platform::TrimBlanks;

namespace {

constexpr std::string_view kRefusal =
    "<B>The selected file path has been disabled by the administrator.</B></P>";
// Appended behind the list so that every real entry, the last one included, ends in ";".
constexpr std::string_view kListEnd = ";end";

// Drops ";" from both ends, the last before the first, until neither end is one.
std::string WithoutOuterSeparators(std::string list) {
    while (!list.empty() && (list.back() == ';' || list.front() == ';')) {
        if (list.back() == ';') {
            list.pop_back();
        }
        if (!list.empty() && list.front() == ';') {
            list.erase(0, 1);
        }
    }
    return list;
}

// Lists shorter than two characters count as empty: characters, not the bytes of their UTF-8
// form, so a list of one accented letter is as empty as one of a single "e".
size_t CharacterCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

// The path may be a single path or several full paths joined by "|" (the zip source list, or
// several archives), exactly as the request gave them: the list is split here, and every member is
// tested against both lists, so the operations pass what they were given. Each member is tested as
// the path the operation will touch ("." and ".." resolved); one that climbs above its drive's root
// is refused. Letter case never matters: path and lists are compared case-folded (Unicode), so
// "\privé\" in a list refuses "C:\...\PRIVÉ\x.txt".
bool Farbale::CheckPathAccess(const std::string& path) {
    try {
        std::vector<std::string> paths;
        for (const auto& member : InFolderOfFirst(SplitJoinedPaths(TrimBlanks(FoldCase(path))))) {
            auto normal = NormalizePolicyPath(member);
            if (!normal) {
                if (blnDebugMode) {
                    Write("Path leaves its drive: " + HtmlEscape(member) + "<BR>" + strNewLine);
                }
                Write(kRefusal);
                return false;
            }
            paths.push_back(std::move(*normal));
        }
        // The whole exclude list is tested before the include list is read.
        PathLists lists;
        for (const auto& member : paths) {
            if (!MatchPathList(member, lists.Excluded(), PathListMode::Exclude)) {
                return false;
            }
        }
        for (const auto& member : paths) {
            if (!MatchPathList(member, lists.Included(), PathListMode::Include)) {
                return false;
            }
        }
        return true;
    } catch (...) {
        try {
            Write(std::string(kSecurityError) + strNewLine);
        } catch (...) {
            // Without a response there is nobody to tell; the path stays refused.
        }
        return false;
    }
}

bool Farbale::CheckPathAccess(const std::string& path, std::string& said) {
    std::string* previous = std::exchange(divertedText_, &said);
    bool allowed = CheckPathAccess(path);
    divertedText_ = previous;
    return allowed;
}

bool Farbale::MatchPathList(const std::string& path, const std::string& list, PathListMode mode) {
    if (CharacterCount(list) < 2) {
        return true;
    }
    std::string rest = WithoutOuterSeparators(list);
    if (CharacterCount(rest) < 2) {
        return true;
    }
    rest = FoldCase(rest) + std::string(kListEnd);
    for (size_t bar = rest.find(';'); bar != std::string::npos; bar = rest.find(';')) {
        std::string entry = TrimBlanks(std::string_view(rest).substr(0, bar));
        rest = TrimBlanks(std::string_view(rest).substr(bar + 1));
        if (path.find(entry) == std::string::npos) {
            continue;
        }
        if (mode == PathListMode::Include) {
            if (blnDebugMode) {
                Write("'Include' paths test: passed with " + HtmlEscape(entry) + "<BR>" +
                      strNewLine);
            }
            return true;
        }
        if (blnDebugMode) {
            Write("'Exclude' paths test: failed with " + HtmlEscape(entry) + "<BR>" + strNewLine);
        }
        Write(kRefusal);
        return false;
    }
    if (mode == PathListMode::Exclude) {
        return true;
    }
    if (blnDebugMode) {
        Write("No paths matched 'Include' list for " + HtmlEscape(path) + "<BR>" + strNewLine);
    }
    Write(kRefusal);
    return false;
}

}  // namespace vantrel
