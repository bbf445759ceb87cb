#pragma once
// The administrator's exclude and include lists of paths, as the path policy tests them: each is
// read at its first use, trimmed, and kept for the rest of one check or operation (the zip library
// asks about every file it meets). A list that cannot be read throws SettingUnreadable, and
// whoever asked refuses with kSecurityError.

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// What a page says when the lists cannot be read.
inline constexpr std::string_view kSecurityError =
    "<B>Error accessing security information.</B></P>";

class PathLists {
  public:
    const std::string& Excluded();
    const std::string& Included();

  private:
    std::optional<std::string> excluded_;
    std::optional<std::string> included_;
};

}  // namespace vantrel
