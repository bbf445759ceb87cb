#pragma once
// Static files below the web root: where a URL path leads, and what type of content it is. Users
// fill the web root (by extracting archives, say), so its files are served as documents of an
// origin of their own (kStaticFilePolicy): no page there runs a script, nor acts with a user's
// session.

#include <httplib.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "host/SignedInAccount.h"
#include "platform/files/ConfinedPath.h"

namespace vantrel::host {

// The Content-Security-Policy of every static file: a sandbox, without scripts, forms or the
// site's origin (the help page, plain HTML, reads well in it).
inline constexpr const char* kStaticFilePolicy = "sandbox";

// The regular file that path (a request's path, percent-decoded once) names below the web root (a
// Windows path), opened the confined way; nullopt when it does not exist or really lies outside
// the web root ("..", or a symbolic link that points elsewhere).
std::optional<platform::ConfinedPath> OpenStaticFile(const std::string& webRoot,
                                                     const std::string& path);

// Answers a GET for the static file at the request's path (FileResponse), opened with the file
// rights of account when it has its own: 404 when there is none, 503 when its rights cannot be
// taken on. Gives back the bytes of the file's answer, for the access log; nullopt when no file
// was sent.
std::optional<uint64_t> ServeStaticFile(const httplib::Request& request,
                                        httplib::Response& response, const std::string& webRoot,
                                        const SignedInAccount* account);

// "text/html; charset=utf-8" for .htm, and so on; application/octet-stream when unknown.
std::string ContentTypeOf(const std::filesystem::path& file);

}  // namespace vantrel::host
