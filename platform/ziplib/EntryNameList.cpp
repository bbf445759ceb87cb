#include "platform/ziplib/EntryNameList.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "platform/files/Wildcard.h"
#include "platform/text/CaseFolding.h"

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
    std::unordered_multimap<std::string, std::string> byFolded;
    for (const auto& entryName : entryNames) {
        std::string name = WithForwardSlashes(entryName);
        byFolded.emplace(platform::FoldCase(name), name);
        present.insert(std::move(name));
    }
    exact_.assign(patterns_.size(), true);
    for (size_t i = 0; i < patterns_.size(); ++i) {
        std::string& pattern = patterns_[i];
        if (present.count(pattern)) {
            continue;
        }
        if (pattern.find_first_of("*?") != std::string::npos) {
            exact_[i] = false;
            continue;
        }
        // A name no entry carries exactly stands for the one entry that differs from it in
        // letter case alone; with two or more such entries it stands for none.
        auto [first, last] = byFolded.equal_range(platform::FoldCase(pattern));
        if (first != last && std::next(first) == last) {
            pattern = first->second;
        }
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
