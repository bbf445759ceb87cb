#include "component/policy/PathLists.h"

#include "component/policy/SettingsStore.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

namespace {

const std::string& ReadOnce(std::optional<std::string>& list, const char* setting) {
    if (!list) {
        list = platform::TrimBlanks(ReadSettingText(setting));
    }
    return *list;
}

}  // namespace

const std::string& PathLists::Excluded() {
    return ReadOnce(excluded_, "ExcludedFilePathList");
}

const std::string& PathLists::Included() {
    return ReadOnce(included_, "IncludedFilePathList");
}

}  // namespace vantrel
