#include "host/ConfigFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/text/TextPieces.h"

namespace vantrel::host {

namespace {

std::string Trim(std::string_view text) {
    return std::string(platform::TrimBlanksAndTabs(text));
}

bool IsKey(const std::string& key) {
    if (key.empty() || key.front() == '-') {
        return false;
    }
    for (char c : key) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
            return false;
        }
    }
    return true;
}

// A key and its value, or the reason the line is not one.
std::optional<ConfigSetting> ParseLine(const std::string& line, std::string& problem) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        problem = "expected key = value";
        return std::nullopt;
    }
    std::string key = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    if (!IsKey(key)) {
        problem = "'" + key + "' is not a key (lower-case letters, digits and dashes)";
        return std::nullopt;
    }
    if (value.empty()) {
        problem = key + " needs a value";
        return std::nullopt;
    }
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7f) {
            problem = "the value of " + key + " holds a control character";
            return std::nullopt;
        }
    }
    return ConfigSetting{key, value, {}};
}

}  // namespace

std::optional<std::vector<ConfigSetting>> ReadConfigFile(const std::filesystem::path& file,
                                                         std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        error = "cannot read the configuration " + file.string() + ": it is a folder";
        return std::nullopt;
    }
    std::ifstream in(file);
    if (!in) {
        error = "cannot read the configuration " + file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<ConfigSetting> settings;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        std::string origin = file.string() + ":" + std::to_string(number);
        std::string problem;
        auto setting = ParseLine(trimmed, problem);
        if (!setting) {
            error = origin + ": " + problem;
            return std::nullopt;
        }
        setting->origin = origin;
        settings.push_back(std::move(*setting));
    }
    if (in.bad()) {
        error = "cannot read the configuration " + file.string();
        return std::nullopt;
    }
    return settings;
}

}  // namespace vantrel::host
