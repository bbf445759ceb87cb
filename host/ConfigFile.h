#pragma once
// The host's configuration file: one setting a line, "key = value", where the key is the name of
// one of the host's long options without its dashes ("listen", "drive", "sign-in") and the value
// runs to the end of the line with the blanks and tabs at its ends dropped. Blank lines and lines
// whose first character other than a blank is "#" are ignored. Switches take true or false.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::host {

struct ConfigSetting {
    std::string key;
    std::string value;
    std::string origin;  // "FILE:LINE", for the messages about this setting
};

// The settings of the file in their order; nullopt with "FILE:LINE: what is wrong" (or why the
// file cannot be read) in error. Only the form of each line is checked here: whether a key is
// known and its value good is for the caller to say.
std::optional<std::vector<ConfigSetting>> ReadConfigFile(const std::filesystem::path& file,
                                                         std::string& error);

}  // namespace vantrel::host
