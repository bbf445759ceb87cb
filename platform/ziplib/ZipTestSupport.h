#pragma once
// Test support for the zip library: a drive c: in a fresh folder, files with chosen times, and
// the library's calls wrapped the way the component makes them.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib::testing {

namespace fs = std::filesystem;

class TestDrive {
  public:
    TestDrive() {
        static std::atomic<int> counter = 0;
        root_ = fs::temp_directory_path() /
                ("lszip-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "outside");
        setenv("VANTREL_DRIVES", ("c=" + (root_ / "c").string()).c_str(), 1);
    }
    ~TestDrive() { fs::remove_all(root_); }

    fs::path Folder() const { return root_ / "c"; }
    fs::path Outside() const { return root_ / "outside"; }
    fs::path Path(const std::string& relative) const { return Folder() / relative; }

    // Writes c:\relative with text, its time age seconds in the past (0: now).
    void Put(const std::string& relative, const std::string& text, int age = 0) const {
        fs::path path = Path(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        if (age) {
            SetAge(relative, age);
        }
    }
    void SetAge(const std::string& relative, int age) const {
        std::time_t when = std::time(nullptr) - age;
        struct timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, Path(relative).c_str(), times, 0);
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool Exists(const std::string& relative) const {
        return fs::exists(fs::symlink_status(Path(relative)));
    }

  private:
    fs::path root_;
};

inline char* Text(std::string& text) {
    return text.data();
}

struct ZipCall {
    std::string archive = "c:\\test.zip";
    int32_t action = 2;
    int32_t level = 6;
    int32_t flags = 0x1001;
    std::string list;
    std::string password;
    ZipProgressFn callback = nullptr;

    int32_t Run() {
        std::string temp = "c:\\";
        LSZIP_SETTEMPATH(Text(temp));
        LSZIP_INCLUDE(Text(list));
        if (!password.empty()) {
            LSZIP_PASSWORD(Text(password));
        }
        LSZIP_SETCALLBACK(callback);
        return LSZIP_EXECUTE(Text(archive), action, level, flags);
    }
};

struct UnzipCall {
    std::string archive = "c:\\test.zip";
    int32_t action = 3;
    int32_t flags = 3;
    std::string names = "*.*";
    std::string target = "c:\\out";
    std::string password;
    ZipProgressFn callback = nullptr;

    int32_t Run() {
        LSUZ_ZIPNAME(Text(archive));
        LSUZ_INCLUDE(Text(names));
        LSUZ_EXTRACTTO(Text(target));
        if (!password.empty()) {
            LSUZ_PASSWORD(Text(password));
        }
        LSUZ_SETCALLBACK(callback);
        return LSUZ_EXECUTE(action, flags);
    }
};

struct ListedEntry {
    std::string name;
    // Packed: compare its numbers as values (+record.size); the test macros take references,
    // and a reference to a misaligned field is undefined.
    ZipEntryRecord record;
    std::string fullName;
    int64_t size;
};

// The entries of an archive as the listing delivers them; code receives the count or status.
inline std::vector<ListedEntry> ListEntries(std::string archive, int32_t* code = nullptr) {
    LSUZ_RESET();
    LSUZ_ZIPNAME(Text(archive));
    int32_t count = LSUZ_EXECUTE(1, 1);
    if (code) {
        *code = count;
    }
    std::vector<ListedEntry> entries;
    std::vector<char> fullName(65536);
    for (int32_t i = 0; i < count; ++i) {
        ListedEntry entry{};
        int64_t compressed = 0;
        if (LSUZ_GETNEXTEX(&entry.record, fullName.data(), 65536, &entry.size, &compressed) != 0) {
            break;
        }
        entry.name = entry.record.name;
        entry.fullName = fullName.data();
        entries.push_back(entry);
    }
    LSUZ_RESET();
    return entries;
}

inline std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    for (const auto& entry : ListEntries(archive)) {
        names.push_back(entry.fullName);
    }
    return names;
}

}  // namespace vantrel::ziplib::testing
