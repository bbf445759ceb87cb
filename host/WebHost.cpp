#include "host/WebHost.h"

#include <csignal>

#include "component/Component.h"
#include "host/AuditLog.h"
#include "host/CutOffOperations.h"
#include "host/DownloadRequest.h"
#include "host/HostFolders.h"
#include "host/PageRequest.h"
#include "host/ProcessSettings.h"
#include "host/RequestFraming.h"
#include "host/RequestNotes.h"
#include "host/RootHost.h"
#include "host/ServerSetup.h"
#include "host/SharedModes.h"
#include "host/SignInPage.h"
#include "host/StartNotes.h"
#include "host/StaticFiles.h"
#include "host/UploadRequest.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {

WebHost::WebHost(HostOptions options, SessionStore::Clock clock)
    : options_(std::move(options)),
      switchesFileRights_(RunningAsRoot() && options_.signIn != SignInMode::None),
      signIns_(options_, std::move(clock), switchesFileRights_, auditLog_),
      pages_(options_, auditLog_) {
    std::string folder = options_.page.substr(0, options_.page.rfind('/') + 1);
    downloadPath_ = folder + "download";
    uploadPath_ = folder + "upload";
    uploadRefusal_ = "an upload takes at most " + options_.maxUploadSize;
}

WebHost::~WebHost() = default;

bool WebHost::Prepare(std::string& error) {
    SharedModes sharedModes;  // before any request: the umask belongs to the whole process
    // A browser that goes away mid-page must not end the process (a TLS write to a closed
    // connection raises SIGPIPE).
    std::signal(SIGPIPE, SIG_IGN);
    PublishProcessSettings(options_);
    // c:\temp is the accounts' to share when a root host makes it.
    if (!PrepareHostFolders(options_, switchesFileRights_, error)) {
        return false;
    }
    // Bound now, with the host's own rights: a signed-in account need not be able to read them.
    LoadZipLibrary();
    if (switchesFileRights_ && (!CheckRegistryReadable(registry::RegistryRoot(), error) ||
                                (options_.signIn == SignInMode::Users &&
                                 !CheckUsersActAsAccounts(options_.usersFile, error)))) {
        return false;
    }
    if (!signIns_.Prepare(error) || !OpenLogs(error)) {
        return false;
    }
    ServerHooks hooks{
        accessLog_.get(), [this](const RequestShape& shape) { return BodyLimitOf(shape); },
        uploadPath_,
        [this](const httplib::Request& request, httplib::Response& response,
               const httplib::ContentReader* read) { Route(request, response, read); }};
    server_ = MakeServer(options_, std::move(hooks), error);
    return server_ != nullptr;
}

bool WebHost::OpenLogs(std::string& error) {
    MakeInstalledLogFolder(options_.auditLog);
    accessLog_ = LogWriter::Open(options_.accessLog, error);
    auditLog_ = accessLog_ ? LogWriter::Open(options_.auditLog.string(), error) : nullptr;
    if (!auditLog_) {
        return false;
    }
    CloseUnfinishedOperations(options_.auditLog, *auditLog_, switchesFileRights_);
    return true;
}

BodyLimit WebHost::BodyLimitOf(const RequestShape& shape) {
    const BodyLimit page = shape.path == uploadPath_
                               ? BodyLimit{options_.maxUploadBytes, uploadRefusal_, true}
                               : BodyLimit{};
    if (options_.signIn == SignInMode::None) {
        return page;
    }
    if (shape.path == "/signin") {
        return {kMaxSignInBytes, "a sign-in takes at most 4 KB"};
    }
    // Before sign-in nothing but the sign-in is done, whatever the form.
    if (!signIns_.HasSession(shape.cookie)) {
        return {kMaxSignInBytes, "the server takes at most 4 KB before you sign in"};
    }
    return page;
}

std::string WebHost::Address() const {
    return ServedAddress(options_);
}

std::vector<std::string> WebHost::StartNotes() const {
    return host::StartNotes(options_, switchesFileRights_);
}

bool WebHost::Bind() {
    return BindServer(*server_, options_);
}

bool WebHost::Run() {
    {
        std::lock_guard lock(stopMutex_);
        if (stopping_) {
            return true;
        }
    }
    return server_->listen_after_bind();
}

void WebHost::Stop() {
    std::lock_guard lock(stopMutex_);
    stopping_ = true;
    // The server can only be stopped once it runs; a stop asked for before that is sent again by
    // the next call.
    if (!stopSent_ && server_->is_running()) {
        server_->stop();
        stopSent_ = true;
    }
}

void WebHost::AbortOperations() {
    StopAllOperations();
}

int WebHost::RunningOperations() const {
    return pages_.RunningOperations();
}

void WebHost::ReopenLogs() {
    accessLog_->Reopen();
    auditLog_->Reopen();
}

void WebHost::ReloadUsersFile() {
    signIns_.ReloadUsersFile();
}

void WebHost::FlushLogs() {
    accessLog_->Flush();
    auditLog_->Flush();
}

void WebHost::Route(const httplib::Request& request, httplib::Response& response,
                    const httplib::ContentReader* read) {
    ForwardedRequest site =
        ResolveForwarded(request, options_.trustedProxies, options_.Tls(), options_.OnSocket());
    ThisRequestNotes().client = site.client;
    if (site.https) {
        response.set_header("Strict-Transport-Security", "max-age=31536000");
    }
    if (!IsSameSitePost(request, site)) {
        response.status = 403;
        response.set_content("Cross-site requests are refused.\n", "text/plain; charset=utf-8");
        return;
    }
    if (signIns_.Answer(request, site, response)) {
        return;
    }
    auto found = signIns_.SessionOf(request, site, response);
    if (!found) {
        RefuseWithoutSession(request, site, response, read);
        return;
    }
    ThisRequestNotes().account = found->account ? found->account->name : "";
    ServeSignedIn(request, response, read, {found->session, found->account, site});
}

void WebHost::ServeSignedIn(const httplib::Request& request, httplib::Response& response,
                            const httplib::ContentReader* read, const RequestCaller& caller) {
    RequestNotes& notes = ThisRequestNotes();
    if (request.path == options_.page) {
        pages_.Serve(request, response, caller);
    } else if (request.path == downloadPath_ &&
               (request.method == "GET" || request.method == "POST")) {
        notes.streamedBytes = ServeDownload(request, response, TransferOf(request, caller));
    } else if (request.path == uploadPath_ && read) {
        ServeUpload(request, response, *read, TransferOf(request, caller), [&notes](size_t bytes) {
            notes.streamedBytes = notes.streamedBytes.value_or(0) + bytes;
        });
    } else if (request.method == "GET" && request.path == "/") {
        response.set_redirect(options_.page);
    } else if (request.method == "GET") {
        if (auto bytes =
                ServeStaticFile(request, response, options_.webRoot, caller.account.get())) {
            notes.streamedBytes = bytes;
        }
    } else {
        response.status = 405;
    }
}

void WebHost::RefuseWithoutSession(const httplib::Request& request, const ForwardedRequest& site,
                                   httplib::Response& response,
                                   const httplib::ContentReader* read) {
    asp::Request page = BuildPageRequest(request, options_.page, "");
    AuditWho nobody{std::chrono::system_clock::now(), "", {}, {}, site.client};
    if (read) {
        auditLog_->Append(TransferAuditLine(nobody, "upload", "", "", 0, "refused: not signed in"));
        SignInService::ShowSignIn(response, 401);
    } else if (request.path == options_.page && IsOperationCall(page)) {
        auditLog_->Append(
            OperationAuditLine(nobody, UnreportedOperation(page, "Not signed in."), {}));
        SignInService::ShowSignIn(response, 401);
    } else {
        SignInService::ShowSignIn(response, 200);
    }
}

TransferCaller WebHost::TransferOf(const httplib::Request& request,
                                   const RequestCaller& caller) const {
    return {PageFields(request, caller, options_),
            caller.session,
            caller.account,
            caller.site.client,
            options_.webRoot,
            auditLog_.get()};
}

}  // namespace vantrel::host
