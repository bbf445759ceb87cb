#include "platform/drives/JoinedPaths.h"

#include "platform/drives/WindowsPath.h"
#include "platform/text/TextPieces.h"

namespace vantrel::platform {

std::vector<std::string> SplitJoinedPaths(std::string_view text) {
    std::vector<std::string> members;
    for (auto piece : SplitText(text, '|')) {
        if (!piece.empty()) {
            members.emplace_back(piece);
        }
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

}  // namespace vantrel::platform
