#include "platform/ziplib/EntryNameList.h"

#include <algorithm>
#include <unordered_set>

#include "platform/files/Wildcard.h"

namespace vantrel::ziplib {

std::string WithForwardSlashes(std::string_view name) {
    std::string text(name);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::optional<EntryNameList> EntryNameList::Parse(std::string_view list) {
    EntryNameList names;
    size_t i = 0;
    while (i < list.size()) {
        if (list[i] == ' ' || list[i] == '\t') {
            ++i;
            continue;
        }
        std::string name;
        if (list[i] == '"') {
            size_t close = list.find('"', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            name = list.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = list.find_first_of(" \t", i);
            end = end == std::string_view::npos ? list.size() : end;
            name = list.substr(i, end - i);
            i = end;
        }
        if (!name.empty()) {
            names.patterns_.push_back(WithForwardSlashes(name));
        }
    }
    return names;
}

void EntryNameList::PreferExactNames(const std::vector<std::string>& entryNames) {
    std::unordered_set<std::string> present;
    for (const auto& name : entryNames) {
        present.insert(WithForwardSlashes(name));
    }
    exact_.assign(patterns_.size(), false);
    for (size_t i = 0; i < patterns_.size(); ++i) {
        exact_[i] = present.count(patterns_[i]) > 0;
    }
}

bool EntryNameList::Matches(std::string_view entryName, std::vector<bool>* used) const {
    std::string name = WithForwardSlashes(entryName);
    bool matched = false;
    for (size_t i = 0; i < patterns_.size(); ++i) {
        // Wildcards run across "/", so "dir/*.*" takes the whole subtree and "dir/" itself.
        bool exact = i < exact_.size() && exact_[i];
        if (exact ? patterns_[i] == name : platform::WildcardMatch(patterns_[i], name)) {
            matched = true;
            if (!used) {
                break;
            }
            (*used)[i] = true;
        }
    }
    return matched;
}

}  // namespace vantrel::ziplib
