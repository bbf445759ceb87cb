#include "host/StaticFiles.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "host/FileResponse.h"
#include "host/ThreadFileCredentials.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/CaseFolding.h"

namespace vantrel::host {
namespace fs = std::filesystem;

std::optional<platform::ConfinedPath> OpenStaticFile(const std::string& webRoot,
                                                     const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    platform::ConfinedPath root;
    if (platform::ConfinedPath::Open(webRoot, platform::PathIntent::Folder, root) !=
        platform::PathStatus::Ok) {
        return std::nullopt;
    }
    std::string below = platform::FoldCase(root.RealPath());
    auto insideRoot = [&below](const std::string& real) {
        return platform::FoldCase(real).starts_with(below);
    };
    platform::ConfinedPath file;
    if (platform::ConfinedPath::Open(root.RealPath() + path, platform::PathIntent::File, file,
                                     insideRoot) != platform::PathStatus::Ok) {
        return std::nullopt;
    }
    return file;
}

std::optional<uint64_t> ServeStaticFile(const httplib::Request& request,
                                        httplib::Response& response, const std::string& webRoot,
                                        const SignedInAccount* account) {
    std::optional<ThreadFileCredentials> rights;
    if (account && account->credentials) {
        rights.emplace(*account->credentials);
        if (!rights->Switched()) {
            response.status = 503;
            return std::nullopt;
        }
    }
    auto file = OpenStaticFile(webRoot, request.path);
    if (!file) {
        response.status = 404;
        response.set_content("Not found.\n", "text/plain; charset=utf-8");
        return std::nullopt;
    }
    response.set_header("Content-Security-Policy", kStaticFilePolicy);
    platform::UniqueFd read(::fcntl(file->Fd(), F_DUPFD_CLOEXEC, 0));
    return RespondWithFile(std::move(read), request, response, ContentTypeOf(file->RealPath()));
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
