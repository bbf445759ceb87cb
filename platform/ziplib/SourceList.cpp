#include "platform/ziplib/SourceList.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <set>

#include "platform/drives/DriveMap.h"
#include "platform/drives/WindowsPath.h"
#include "platform/files/Wildcard.h"
#include "platform/text/AsciiCase.h"
#include "platform/ziplib/StatusCodes.h"

namespace vantrel::ziplib {
namespace fs = std::filesystem;

namespace {

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool MatchesEverything(std::string_view pattern) {
    return pattern == "*.*" || pattern == "*";
}

std::string JoinSegments(const std::vector<std::string>& segments) {
    std::string joined;
    for (const auto& segment : segments) {
        joined += segment + "/";
    }
    return joined;
}

std::optional<SourceFile> Describe(const fs::path& path, std::string entryName) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    SourceFile file;
    file.path = path;
    file.isFolder = S_ISDIR(info.st_mode);
    file.entryName = std::move(entryName) + (file.isFolder ? "/" : "");
    file.modified = info.st_mtime;
    file.mode = info.st_mode;
    return file;
}

class Expander {
  public:
    Expander(const SourceOptions& options, std::vector<SourceFile>& files)
        : options_(options), files_(files) {}

    int32_t Item(std::string_view item) {
        auto parsed = platform::ParseWindowsPath(item);
        if (!parsed) {
            return status::kBadFileSpec;
        }
        std::string pattern = "*.*";
        platform::WindowsPath folder = *parsed;
        if (!parsed->segments.empty() && HasWildcard(parsed->segments.back())) {
            pattern = parsed->segments.back();
            folder.segments.pop_back();
        }
        auto linux = platform::MapWindowsPath(folder.ToString());
        if (!linux) {
            return status::kBadFileSpec;
        }
        std::error_code ec;
        auto kind = fs::symlink_status(*linux, ec).type();
        std::string base = options_.fullPaths ? JoinSegments(folder.segments) : std::string();
        if (kind == fs::file_type::regular && pattern == "*.*" && !folder.segments.empty()) {
            std::string name =
                options_.fullPaths ? base.substr(0, base.size() - 1) : folder.segments.back();
            return AddFile(*linux, name) ? status::kOk : status::kNameNotMatched;
        }
        if (kind != fs::file_type::directory) {
            return status::kNameNotMatched;
        }
        Walk(*linux, base, pattern);
        return status::kOk;
    }

  private:
    bool AddFile(const fs::path& path, const std::string& entryName) {
        std::error_code ec;
        if (!options_.archive.empty() && fs::equivalent(path, options_.archive, ec)) {
            return true;  // the archive itself is never one of its sources
        }
        auto file = Describe(path, entryName);
        if (!file) {
            return false;
        }
        files_.push_back(std::move(*file));
        return true;
    }

    void Walk(const fs::path& folder, const std::string& prefix, const std::string& pattern) {
        std::vector<fs::directory_entry> entries;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            entries.push_back(*it);
        }
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.path().filename() < b.path().filename();
        });
        for (const auto& entry : entries) {
            std::string name = entry.path().filename().string();
            auto kind = entry.symlink_status(ec).type();
            if (!platform::IsWindowsName(name) || kind == fs::file_type::symlink) {
                continue;
            }
            if (kind == fs::file_type::directory && options_.recurse) {
                if (MatchesEverything(pattern)) {
                    AddFile(entry.path(), prefix + name);
                }
                Walk(entry.path(), prefix + name + "/", pattern);
            } else if (kind == fs::file_type::regular && platform::WildcardMatch(pattern, name)) {
                AddFile(entry.path(), prefix + name);
            }
        }
    }

    const SourceOptions& options_;
    std::vector<SourceFile>& files_;
};

// The same file named twice is taken once; two different files under one name refuse the list.
int32_t RemoveRepeats(std::vector<SourceFile>& files) {
    std::vector<SourceFile> unique;
    std::set<std::string> names;
    std::set<fs::path> paths;
    for (auto& file : files) {
        if (paths.count(file.path)) {
            continue;
        }
        if (!names.insert(platform::LowerAscii(file.entryName)).second) {
            return status::kRepeatedName;
        }
        paths.insert(file.path);
        unique.push_back(std::move(file));
    }
    files = std::move(unique);
    return status::kOk;
}

}  // namespace

int32_t ExpandSourceList(std::string_view list, const SourceOptions& options,
                         std::vector<SourceFile>& files) {
    Expander expander(options, files);
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = std::min(list.find('|', start), list.size());
        std::string_view item = list.substr(start, end - start);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) {
            if (int32_t code = expander.Item(item); code != status::kOk) {
                return code;
            }
        }
        start = end + 1;
    }
    return RemoveRepeats(files);
}

}  // namespace vantrel::ziplib
