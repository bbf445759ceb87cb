#pragma once
// Static files below the web root: where a URL path leads, and what type of content it is.

#include <filesystem>
#include <optional>
#include <string>

namespace vantrel::host {

// The regular file that urlPath names below root, or nullopt when it does not exist or would lie
// outside root ("..", or a symbolic link that points elsewhere).
std::optional<std::filesystem::path> ResolveStaticFile(const std::filesystem::path& root,
                                                       const std::string& urlPath);

// "text/html; charset=utf-8" for .htm, and so on; application/octet-stream when unknown.
std::string ContentTypeOf(const std::filesystem::path& file);

}  // namespace vantrel::host
