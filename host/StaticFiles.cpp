#include "host/StaticFiles.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/text/AsciiCase.h"

namespace vantrel::host {
namespace fs = std::filesystem;

std::optional<fs::path> ResolveStaticFile(const fs::path& root, const std::string& urlPath) {
    std::string decoded = httplib::detail::decode_url(urlPath, false);
    if (decoded.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::error_code ec;
    fs::path realRoot = fs::canonical(root, ec);
    if (ec) {
        return std::nullopt;
    }
    fs::path candidate = fs::weakly_canonical(realRoot / fs::path(decoded).relative_path(), ec);
    if (ec || !fs::is_regular_file(candidate, ec)) {
        return std::nullopt;
    }
    auto [rootEnd, unused] =
        std::mismatch(realRoot.begin(), realRoot.end(), candidate.begin(), candidate.end());
    if (rootEnd != realRoot.end()) {
        return std::nullopt;
    }
    return candidate;
}

std::string ContentTypeOf(const fs::path& file) {
    static const std::map<std::string, std::string> kTypes = {
        {".htm", "text/html; charset=utf-8"},
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
        {".png", "image/png"},
        {".gif", "image/gif"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".zip", "application/zip"},
        {".json", "application/json"},
        {".pdf", "application/pdf"},
    };
    std::string extension = platform::LowerAscii(file.extension().string());
    auto it = kTypes.find(extension);
    return it == kTypes.end() ? "application/octet-stream" : it->second;
}

}  // namespace vantrel::host
