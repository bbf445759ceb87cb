#pragma once
// Static files below the web root: where a URL path leads, and what type of content it is.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/files/ConfinedPath.h"

namespace vantrel::host {

// The regular file that urlPath names below the web root (a Windows path), opened the confined way;
// nullopt when it does not exist or really lies outside the web root ("..", or a symbolic link
// that points elsewhere).
std::optional<platform::ConfinedPath> OpenStaticFile(const std::string& webRoot,
                                                     const std::string& urlPath);

// "text/html; charset=utf-8" for .htm, and so on; application/octet-stream when unknown.
std::string ContentTypeOf(const std::filesystem::path& file);

}  // namespace vantrel::host
