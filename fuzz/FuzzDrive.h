#pragma once
// A drive c: in a fresh temporary folder for the zip library's fuzz targets: VANTREL_DRIVES points
// at it for the whole run, and each input becomes an archive file in it.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vantrel::fuzz {

namespace fs = std::filesystem;

class FuzzDrive {
  public:
    FuzzDrive() {
        root_ = fs::temp_directory_path() / ("vantrel-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(Folder());
        ::setenv("VANTREL_DRIVES", ("c=" + Folder().string()).c_str(), 1);
    }
    ~FuzzDrive() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    FuzzDrive(const FuzzDrive&) = delete;
    FuzzDrive& operator=(const FuzzDrive&) = delete;

    fs::path Folder() const { return root_ / "c"; }

    // Empties the drive, then writes the bytes as c:\name.
    void PutOnly(const std::string& name, const uint8_t* data, size_t size) const {
        for (const auto& entry : fs::directory_iterator(Folder())) {
            fs::remove_all(entry.path());
        }
        std::ofstream(Folder() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(Folder() / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

  private:
    fs::path root_;
};

}  // namespace vantrel::fuzz
