#pragma once
// Test support: drive c: in a fresh folder (with a folder "outside" beside it that no drive maps),
// published to the process as its drive map, and removed again at the end.

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vantrel::platform::testing {

namespace fs = std::filesystem;

class TestDrive {
  public:
    TestDrive() {
        static std::atomic<int> counter = 0;
        root_ = fs::temp_directory_path() /
                ("vantrel-drive-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "outside");
        ::setenv("VANTREL_DRIVES", ("c=" + (root_ / "c").string()).c_str(), 1);
    }
    ~TestDrive() {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

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
        ::utimensat(AT_FDCWD, Path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    std::string Read(const std::string& relative) const { return ReadFile(Path(relative)); }
    bool Exists(const std::string& relative) const {
        return fs::exists(fs::symlink_status(Path(relative)));
    }
    // A symbolic link at c:\relative pointing to target, exactly as given.
    void Link(const std::string& relative, const fs::path& target) const {
        fs::create_directories(Path(relative).parent_path());
        fs::create_symlink(target, Path(relative));
    }

    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    fs::path root_;
};

}  // namespace vantrel::platform::testing
