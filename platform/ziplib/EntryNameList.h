#pragma once
// Lists of entry names, as the delete and extract calls take them: names separated by blanks, a
// name that holds blanks in double quotes, Windows wildcards allowed. "*.*" is every entry and
// "dir/*.*" everything below dir, the folder entry included; "\" and "/" are the same separator
// and case is ignored (Unicode case folding).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib {

class EntryNameList {
  public:
    // nullopt for a list that cannot be read (an unclosed quote).
    static std::optional<EntryNameList> Parse(std::string_view list);

    bool Empty() const { return patterns_.empty(); }
    // A name that some entry carries exactly, case and all, matches only that entry: deleting
    // "a.txt" must not also delete "A.txt", and deleting the entry literally named "a*.txt" must
    // not delete "ab.txt". Other names are patterns that ignore case.
    void PreferExactNames(const std::vector<std::string>& entryNames);
    // True when a pattern matches; marks in used (sized like the list) every pattern that does.
    bool Matches(std::string_view entryName, std::vector<bool>* used = nullptr) const;
    size_t Size() const { return patterns_.size(); }
    // The names as read, with forward slashes.
    const std::vector<std::string>& Names() const { return patterns_; }

  private:
    std::vector<std::string> patterns_;
    std::vector<bool> exact_;  // beside patterns_: compare exactly
};

// "\" becomes "/".
std::string WithForwardSlashes(std::string_view name);

}  // namespace vantrel::ziplib
