#pragma once
// Test support: drive c: in a fresh folder (with a folder "outside" beside it that no drive maps),
// published to the process as its drive map, and removed again at the end.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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
    // Empties the drive, then writes the bytes as c:\name (a fuzz input as a file, say).
    void PutOnly(const std::string& name, const uint8_t* data, size_t size) const {
        for (const auto& entry : fs::directory_iterator(Folder())) {
            fs::remove_all(entry.path());
        }
        Put(name, std::string(reinterpret_cast<const char*>(data), size));
    }
    // The names in the drive's root folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
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

// Keeps exchanging a with each of others in turn (a folder with links, say) until destroyed.
class Swapper {
  public:
    Swapper(const fs::path& a, std::vector<fs::path> others)
        : thread_([this, a, others = std::move(others)] {
              while (!stop_) {
                  for (const auto& other : others) {
                      ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
                  }
              }
          }) {}
    ~Swapper() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// Runs attempt again and again for about a second and a half.
template <typename Attempt>
void ForAWhile(Attempt attempt) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) {
        attempt();
    }
}

}  // namespace vantrel::platform::testing
