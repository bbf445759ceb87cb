#include "host/DownloadRequest.h"

#include <fcntl.h>

#include <memory>
#include <optional>

#include "component/Component.h"
#include "host/FileResponse.h"
#include "platform/text/TextPieces.h"

namespace vantrel::host {

namespace {

constexpr const char* kAttachmentType = "application/octet-stream";
constexpr const char* kPageType = "text/html; charset=utf-8";

int StatusOf(DownloadRefusal refusal) {
    switch (refusal) {
        case DownloadRefusal::Forbidden:
            return 403;
        case DownloadRefusal::NotFound:
            return 404;
        case DownloadRefusal::BadRequest:
            return 400;
        default:
            return 422;
    }
}

// The last segment of a Windows path or an entry name.
std::string LastSegment(std::string_view path) {
    size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The answer for a download refused: the component's page, with a status that says why.
uint64_t Refuse(httplib::Response& response, DownloadRefusal refusal, const std::string& page,
                const TransferCaller& caller, const std::string& path, const std::string& entry) {
    response.status = StatusOf(refusal);
    response.set_content(page, kPageType);
    caller.audit->Append(
        TransferAuditLine(caller.Who(), "download", path, entry, 0, "refused: " + PlainText(page)));
    return page.size();
}

void MarkAttachment(httplib::Response& response, const std::string& name) {
    response.set_header("Content-Disposition", AttachmentDisposition(name));
    // Whatever the bytes are, they never run as a page of this site.
    response.set_header("Content-Security-Policy", "sandbox");
}

// The entry's answer, decompressed as it is sent. A damaged entry ends the answer short of its
// length, so the browser sees the download fail.
uint64_t SendEntry(std::unique_ptr<EntryDownload> download, httplib::Response& response,
                   const TransferCaller& caller, const std::string& path,
                   const std::string& entry) {
    std::shared_ptr<EntryDownload> shared = std::move(download);
    MarkAttachment(response, LastSegment(entry));
    auto sent = std::make_shared<uint64_t>(0);
    response.set_content_provider(
        shared->Size(), kAttachmentType,
        [shared, sent](size_t offset, size_t, httplib::DataSink& sink) {
            return offset == 0 && shared->Read([&](const char* data, size_t n) {
                *sent += n;
                return sink.write(data, n);
            });
        },
        [caller, path, entry, sent](bool whole) {
            caller.audit->Append(TransferAuditLine(caller.Who(), "download", path, entry, *sent,
                                                   whole ? "sent" : "cut off"));
        });
    return shared->Size();
}

}  // namespace

std::string AttachmentDisposition(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    constexpr std::string_view kAttributeCharacters = "!#$&+-.^_`|~";
    std::string plain, encoded;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      (byte >= '0' && byte <= '9');
        if (letter || kAttributeCharacters.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0f];
        }
        plain += byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\' && c != '%' ? c : '_';
    }
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + encoded;
}

uint64_t ServeDownload(const httplib::Request& request, httplib::Response& response,
                       const TransferCaller& caller) {
    response.set_header("Cache-Control", "no-store");
    std::string path = platform::TrimBlanks(caller.fields.Item("path"));
    std::string entry = caller.fields.Item("entry");
    // A password travels in a posted form only: an address lands in logs and histories.
    std::string password = caller.fields.Form("PW");
    std::optional<ThreadFileCredentials> rights;
    if (!caller.SwitchRights(rights)) {
        response.status = 503;
        return 0;
    }
    std::string page;
    asp::Response pageResponse([&page](std::string_view text) {
        page.append(text);
        return true;
    });
    asp::Server server(caller.webRoot);
    asp::Request fields = caller.fields;
    asp::ScriptingContext context{fields, pageResponse, *caller.session, server};
    Transfers transfers(context);
    if (entry.empty()) {
        platform::ConfinedPath file;
        if (auto refusal = transfers.OpenFile(path, file); refusal != DownloadRefusal::None) {
            pageResponse.End();
            return Refuse(response, refusal, page, caller, path, entry);
        }
        MarkAttachment(response, LastSegment(file.RealPath()));
        platform::UniqueFd read(::fcntl(file.Fd(), F_DUPFD_CLOEXEC, 0));
        auto length = std::make_shared<uint64_t>(0);
        *length = RespondWithFile(
            std::move(read), request, response, kAttachmentType,
            [caller, path, length](bool whole) {
                caller.audit->Append(TransferAuditLine(caller.Who(), "download", path, "", *length,
                                                       whole ? "sent" : "cut off"));
            });
        return *length;
    }
    std::unique_ptr<EntryDownload> download;
    if (auto refusal = transfers.OpenEntry(path, entry, password, download);
        refusal != DownloadRefusal::None) {
        pageResponse.End();
        return Refuse(response, refusal, page, caller, path, entry);
    }
    return SendEntry(std::move(download), response, caller, path, entry);
}

}  // namespace vantrel::host
