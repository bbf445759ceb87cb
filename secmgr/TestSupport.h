#pragma once
// Shared by the dialog's tests: a registry of its own in a temporary folder, and message boxes
// that only record what they were asked to show.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "secmgr/MessageBoxes.h"

namespace vantrel::secmgr::testing {

class TemporaryRegistry {
  public:
    TemporaryRegistry() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantrelsec-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        setenv(registry::kRegistryVariable, root_.c_str(), 1);
        registry::SetRegistryRoot({});
    }
    ~TemporaryRegistry() {
        unsetenv(registry::kRegistryVariable);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

    // The folder of a setting's key, as the registry lays it out on disk.
    std::filesystem::path KeyFolder(const std::string& setting) const {
        return root_ / "HKEY_LOCAL_MACHINE" / "SOFTWARE" / "Quillfen" / "Farbale" / setting;
    }
    // Stores a value by hand, as an administrator editing the registry would.
    void Put(const std::string& setting, const std::string& text) const {
        std::filesystem::create_directories(KeyFolder(setting));
        std::ofstream(KeyFolder(setting) / "@", std::ios::binary) << text;
    }
    // The stored text, or nullopt when the setting has no value.
    std::optional<std::string> Stored(const std::string& setting) const {
        std::ifstream in(KeyFolder(setting) / "@", std::ios::binary);
        if (!in) {
            return std::nullopt;
        }
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Makes every later write of the setting fail: a plain file sits where its key would go.
    void BlockKey(const std::string& setting) const {
        std::filesystem::create_directories(KeyFolder(setting).parent_path());
        std::ofstream(KeyFolder(setting)) << "not a key";
    }

  private:
    std::filesystem::path root_;
};

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    std::string title;
    bool operator==(const ShownMessage&) const = default;
};

class RecordingMessageBoxes : public MessageBoxes {
  public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override {
        shown.push_back({text, icon, title});
    }
    std::vector<ShownMessage> shown;
};

}  // namespace vantrel::secmgr::testing
