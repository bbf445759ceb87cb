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

namespace {

bool HasWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool IsEveryName(std::string_view pattern) {
    return pattern == "*.*" || pattern == "*";
}

}  // namespace

void EntryNameList::PreferExactNames(const std::vector<std::string>& entryNames) {
    exact_.assign(patterns_.size(), true);
    std::unordered_set<std::string_view> patterns(patterns_.begin(), patterns_.end());
    std::unordered_set<std::string_view> present;
    bool anyBackslash = false;
    for (const auto& entryName : entryNames) {
        anyBackslash = anyBackslash || entryName.find('\\') != std::string::npos;
        if (!anyBackslash && patterns.count(entryName)) {
            present.insert(entryName);
        }
    }
    // Names with "\" are compared as they are matched, with forward slashes.
    std::vector<std::string> slashed;
    if (anyBackslash) {
        present.clear();
        for (const auto& entryName : entryNames) {
            slashed.push_back(WithForwardSlashes(entryName));
        }
        for (const auto& name : slashed) {
            if (patterns.count(name)) {
                present.insert(name);
            }
        }
    }
    const std::vector<std::string>& names = anyBackslash ? slashed : entryNames;
    std::unordered_multimap<std::string, std::string_view> byFolded;
    for (size_t i = 0; i < patterns_.size(); ++i) {
        std::string& pattern = patterns_[i];
        if (present.count(pattern)) {
            continue;
        }
        if (HasWildcard(pattern)) {
            exact_[i] = false;
            continue;
        }
        // A name no entry carries exactly stands for the one entry that differs from it in
        // letter case alone; with two or more such entries it stands for none. The folded names
        // are made only for such a name (a list of wildcards needs none).
        if (byFolded.empty()) {
            for (const auto& name : names) {
                byFolded.emplace(platform::FoldCase(name), name);
            }
        }
        auto [first, last] = byFolded.equal_range(platform::FoldCase(pattern));
        if (first != last && std::next(first) == last) {
            pattern = std::string(first->second);
        }
    }
}

bool EntryNameList::Matches(std::string_view entryName, std::vector<bool>* used) const {
    std::string slashed;
    std::string_view name = entryName;
    if (name.find('\\') != std::string_view::npos) {
        slashed = WithForwardSlashes(entryName);
        name = slashed;
    }
    bool matched = false;
    for (size_t i = 0; i < patterns_.size(); ++i) {
        // Wildcards run across "/", so "dir/*.*" takes the whole subtree and "dir/" itself.
        bool exact = i < exact_.size() && exact_[i];
        if (exact ? patterns_[i] == name
                  : IsEveryName(patterns_[i]) || platform::WildcardMatch(patterns_[i], name)) {
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
