#include "host/WebHost.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "component/Component.h"
#include "host/AccessLog.h"
#include "host/AccountCredentials.h"
#include "host/AuditLog.h"
#include "host/CheckedServer.h"
#include "host/CutOffOperations.h"
#include "host/DownloadRequest.h"
#include "host/FileResponse.h"
#include "host/HostFolders.h"
#include "host/JournalLines.h"
#include "host/PageRequest.h"
#include "host/RandomToken.h"
#include "host/RequestFraming.h"
#include "host/RootHost.h"
#include "host/ServedNames.h"
#include "host/SharedModes.h"
#include "host/SignInPage.h"
#include "host/StaticFiles.h"
#include "host/ThreadFileCredentials.h"
#include "host/TlsProfile.h"
#include "host/UploadRequest.h"
#include "host/UsersFile.h"
#include "platform/files/FreeSpaceReserve.h"
#include "platform/install/Installation.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextPieces.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPageContentType = "text/html; charset=utf-8";
constexpr size_t kPagePiece = 16 * 1024;
constexpr const char* kTextContentType = "text/plain; charset=utf-8";
constexpr const char* kTooBusyPage =
    "<HTML><BODY BGCOLOR=\"#C0C0C0\"><FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">"
    "<B>The server is too busy to start another operation now. Please try again in a "
    "moment.</B></FONT></BODY></HTML>\r\n";
constexpr const char* kNoFileRights =
    "<B>Error:</B> The server cannot work with your account's file rights now.";

// What the access log needs to know of the request the current thread serves; the library calls
// its logger on the thread that served the request, once the response has been sent.
struct RequestNotes {
    std::string client;  // as a trusted proxy tells it; empty: the connection's peer
    std::string account;
    std::optional<uint64_t> streamedBytes;
};
thread_local RequestNotes t_notes;

// The whole file open at fd.
std::string ReadWhole(int fd) {
    std::string text;
    char buffer[64 * 1024];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// The control pages open help.htm beside the page; a web root without one gets the copy from the
// program's data folder (share/vantrel).
void PutHelpPage(const platform::ConfinedPath& webRoot) {
    fs::path source = platform::SharedDataFolder() / "help.htm";
    platform::UniqueFd original(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!original) {
        return;
    }
    std::string page = ReadWhole(original.Get());
    platform::UniqueFd help(::openat(webRoot.Fd(), "help.htm",
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (help && ::write(help.Get(), page.data(), page.size()) < 0) {
        ::unlinkat(webRoot.Fd(), "help.htm", 0);
    }
}

std::string HostAccountName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return found->pw_name;
    }
    return "uid " + std::to_string(::geteuid());
}

// An operation that the stop of the server aborted, said in the service's log: what became of its
// archive, or of the folder it was extracting into.
void ReportAbortedAtStop(const asp::OperationRecord& record) {
    if (!AbortedByStop(record)) {
        return;
    }
    bool extraction = !record.target.empty() && record.letter != 'T';
    Say(Priority::Warning,
        "vantrel-host: stopping: aborted " +
            (extraction ? "the extraction of " + record.archive + " into " + record.target +
                              "; the entries extracted before the stop remain there"
                        : "the work on " + record.archive + "; the archive is unchanged"));
}

// Everything one page request needs, kept alive until the page has been streamed.
struct PageRun {
    asp::Request request;
    std::shared_ptr<asp::Session> session;
    asp::Server server;
    std::shared_ptr<const SignedInAccount> account;
    std::string client;
    bool operationCall = false;
};

// An operation call that never reached the component, or ended before it reported: named as the
// component names it.
asp::OperationRecord UnreportedOperation(const asp::Request& request, std::string text) {
    asp::OperationRecord record = AskedOperation(request);
    record.outcome = asp::OperationOutcome::Refused;
    record.text = std::move(text);
    return record;
}

// The server with the host's own connection loop set up.
template <typename Base>
std::unique_ptr<httplib::Server> Checked(std::unique_ptr<CheckedServer<Base>> server,
                                         RefusalListener refused, BodyLimits limits) {
    server->Configure(std::move(refused), std::move(limits));
    return server;
}

}  // namespace

// Sign-ins run at once (each failure holds its thread for its answer time), and from one address.
constexpr int kSignInsAtOnce = 16;
constexpr int kSignInsAtOnceFromAnAddress = 2;

struct WebHost::Caller {
    std::shared_ptr<asp::Session> session;
    std::shared_ptr<const SignedInAccount> account;
    ForwardedRequest site;
};

WebHost::WebHost(HostOptions options, SessionStore::Clock clock)
    : options_(std::move(options)),
      clock_(std::move(clock)),
      switchesFileRights_(RunningAsRoot() && options_.signIn != SignInMode::None),
      sessions_(options_.debug, SessionLimits{}, clock_),
      signInGate_(kSignInsAtOnce, kSignInsAtOnceFromAnAddress),
      operations_(std::max(1, options_.threads / 2)) {
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
    std::error_code made;
    fs::create_directories(options_.dataFolder, made);
    for (const auto& drive : options_.drives.Drives()) {
        std::error_code ec;
        if (drive.type == platform::DriveType::Fixed) {
            fs::create_directories(drive.folder, ec);
        }
    }
    ::setenv(platform::kDrivesVariable, options_.drives.ToSpec().c_str(), 1);
    if (!options_.minFreeSpace.empty()) {
        ::setenv(platform::kMinFreeSpaceVariable, options_.minFreeSpace.c_str(), 1);
    }
    if (!options_.registry.empty()) {
        ::setenv(registry::kRegistryVariable, fs::absolute(options_.registry).c_str(), 1);
    }
    platform::ConfinedPath webRoot;
    if (!OpenHostFolder(options_.webRoot, std::nullopt, webRoot, error) ||
        !PrepareQueueFolder(options_.queueFolder, error)) {
        return false;
    }
    PutHelpPage(webRoot);
    // c:\temp is the accounts' to share, like /tmp, when a root host makes it. Nothing depends on
    // it: where it cannot be made the component uses the system's temporary path.
    platform::ConfinedPath temp;
    auto shared = switchesFileRights_ ? std::optional<mode_t>(01777) : std::nullopt;
    if (std::string why; !OpenHostFolder("c:\\temp", shared, temp, why)) {
        Say(Priority::Warning, "vantrel-host: " + why);
    }
    // Bound now, with the host's own rights: a signed-in account need not be able to read them.
    LoadZipLibrary();
    if (switchesFileRights_ && (!CheckRegistryReadable(registry::RegistryRoot(), error) ||
                                (options_.signIn == SignInMode::Users &&
                                 !CheckUsersActAsAccounts(options_.usersFile, error)))) {
        return false;
    }
    if (options_.signIn == SignInMode::System) {
        if (!PamServiceInstalled()) {
            error = "sign-in through PAM needs /etc/pam.d/vantrel (install host/pam.d/vantrel)";
            return false;
        }
        authenticator_ = MakePamAuthenticator();
    } else if (options_.signIn == SignInMode::Users) {
        if (!ReadUsersFile(options_.usersFile, error)) {
            return false;
        }
        authenticator_ = MakeUsersFileAuthenticator(options_.usersFile);
        usersWatch_ = std::make_unique<UsersFileWatch>(options_.usersFile);
    }
    // The installed program keeps its logs in a folder of its own, made when missing and closed to
    // other accounts (the audit log names who did what).
    if (const auto& installed = platform::Installation();
        installed && options_.auditLog.parent_path() == installed->logs) {
        std::error_code ec;
        if (fs::create_directories(installed->logs, ec)) {
            fs::permissions(installed->logs,
                            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                            ec);
        }
    }
    accessLog_ = LogWriter::Open(options_.accessLog, error);
    auditLog_ = accessLog_ ? LogWriter::Open(options_.auditLog.string(), error) : nullptr;
    if (!auditLog_) {
        return false;
    }
    CloseUnfinishedOperations(options_.auditLog, *auditLog_, switchesFileRights_);
    return SetUpServer(error);
}

bool WebHost::SetUpServer(std::string& error) {
    RefusalListener logRefusal = [this](auto& client, auto& line, int status) {
        accessLog_->Append(CommonLogLine(
            {client, "", std::chrono::system_clock::now(), line, status, std::nullopt}));
    };
    BodyLimits limits = [this](const RequestShape& shape) { return BodyLimitOf(shape); };
    if (options_.Tls()) {
        auto server = std::make_unique<CheckedServer<httplib::SSLServer>>(
            options_.tlsCertificate.c_str(), options_.tlsKey.c_str());
        if (!server->is_valid()) {
            error = "cannot use the certificate " + options_.tlsCertificate.string() +
                    " with the key " + options_.tlsKey.string();
            return false;
        }
        if (!ApplyTlsProfile(server->ssl_context())) {
            error = "the TLS library refuses the host's TLS settings";
            return false;
        }
        server_ = Checked(std::move(server), logRefusal, limits);
    } else {
        server_ = Checked(std::make_unique<CheckedServer<httplib::Server>>(), logRefusal, limits);
    }
    // A browser keeps one connection for the frameset's pages and every later click; the
    // library's default of five requests a connection would open a new one every few clicks.
    server_->set_keep_alive_max_count(1000);
    server_->set_payload_max_length(std::max<size_t>(kMaxFormBytes, options_.maxUploadBytes));
    server_->set_write_timeout(std::chrono::minutes(5));
    server_->set_default_headers(
        {{"X-Content-Type-Options", "nosniff"}, {"X-Frame-Options", "SAMEORIGIN"}});
    server_->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            t_notes = {};
            if (AnswersTo(request, options_)) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.status = 421;
            response.set_content(ErrorText(421), kTextContentType);
            return httplib::Server::HandlerResponse::Handled;
        });
    server_->set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty() && !response.content_provider_) {
                response.set_content(ErrorText(response.status), kTextContentType);
            }
            return httplib::Server::HandlerResponse::Handled;
        }));
    server_->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        uint64_t bytes = t_notes.streamedBytes.value_or(response.body.size());
        accessLog_->Append(
            CommonLogLine({t_notes.client.empty() ? request.remote_addr : t_notes.client,
                           t_notes.account, std::chrono::system_clock::now(),
                           request.method + " " + request.target + " " + request.version,
                           response.status, bytes}));
        t_notes = {};
    });
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Route(request, response);
    });
    // The host has read the body already, within its limit (RequestReader); the library's own
    // limit on forms is far below what a large selection of files takes.
    server_->Post(".*", [this](const httplib::Request& request, httplib::Response& response,
                               const httplib::ContentReader& read) {
        if (request.path == uploadPath_) {
            Route(request, response, &read);
            return;
        }
        if (request.is_multipart_form_data()) {
            // Read and dropped, so that nothing of it is taken for the next request.
            read([](const httplib::MultipartFormData&) { return true; },
                 [](const char*, size_t) { return true; });
            response.status = 415;
            response.set_header("Connection", "close");
            response.set_content("The page takes its forms URL-encoded, not as multipart data.\n",
                                 "text/plain; charset=utf-8");
            return;
        }
        httplib::Request whole = request;
        read([&whole](const char* data, size_t size) {
            whole.body.append(data, size);
            return true;
        });
        Route(whole, response);
    });
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
    if (!sessions_.Find(CookieValue(shape.cookie, kSessionCookie))) {
        return {kMaxSignInBytes, "the server takes at most 4 KB before you sign in"};
    }
    return page;
}

std::string WebHost::Address() const {
    if (options_.OnSocket()) {
        return "unix:" + options_.listenSocket.string() + " (" + options_.page + ")";
    }
    return std::string(options_.Tls() ? "https://" : "http://") + options_.listenAddress + ":" +
           std::to_string(options_.listenPort) + options_.page;
}

std::vector<std::string> WebHost::StartNotes() const {
    std::vector<std::string> notes;
    std::string self = HostAccountName();
    if (options_.signIn == SignInMode::None) {
        notes.push_back("No sign-in: " + options_.listenAddress +
                        " is a loopback address, and everyone who reaches it works with the file "
                        "rights of " +
                        self + ".");
        if (RunningAsRoot()) {
            notes.push_back(
                "Warning: running as root without sign-in gives every local user "
                "root's file rights through this page.");
        }
    } else {
        notes.push_back(std::string("Sign-in: ") +
                        (options_.signIn == SignInMode::System
                             ? "the server's accounts (PAM service vantrel)."
                             : "the users of " + options_.usersFile.string() + "."));
        notes.push_back(switchesFileRights_
                            ? "Running as root: each signed-in user works with their own "
                              "account's file rights."
                            : "Not running as root: every signed-in user works with the file "
                              "rights of " +
                                  self + ".");
    }
    if (options_.OnSocket()) {
        notes.push_back("Unix socket " + options_.listenSocket.string() + " (mode 0660, group " +
                        (options_.socketGroup.empty() ? "root" : options_.socketGroup) +
                        "): every request over it comes from the proxy in front.");
    } else if (!options_.Tls() && !IsLoopbackAddress(options_.listenAddress)) {
        notes.push_back("Plain HTTP on " + options_.listenAddress +
                        ": meant for a TLS proxy in front.");
    }
    std::string names = options_.OnSocket() ? "localhost" : options_.listenAddress + ", localhost";
    for (const auto& name : options_.serverNames) {
        names += ", " + name;
    }
    notes.push_back("Answers to the names " + names + " (more with --server-name).");
    notes.push_back("Audit log: " + options_.auditLog.string() + ".");
    return notes;
}

bool WebHost::Bind() {
    if (options_.OnSocket()) {
        return BindSocket();
    }
    if (options_.listenPort == 0) {
        options_.listenPort = server_->bind_to_any_port(options_.listenAddress.c_str());
        return options_.listenPort > 0;
    }
    return server_->bind_to_port(options_.listenAddress.c_str(), options_.listenPort);
}

// A socket left by an earlier run is replaced; anything else at the path is not. The socket is
// closed to everyone but root and the group's members (the proxy's account) before it can take a
// connection: connecting needs write permission on it.
bool WebHost::BindSocket() {
    const fs::path& path = options_.listenSocket;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode)) {
        ::unlink(path.c_str());
    }
    gid_t group = ::getegid();
    if (!options_.socketGroup.empty()) {
        struct group* found = ::getgrnam(options_.socketGroup.c_str());
        if (!found) {
            Say(Priority::Error, "vantrel-host: there is no group " + options_.socketGroup);
            return false;
        }
        group = found->gr_gid;
    }
    // Made 0600 (the host is starting: no other thread makes files now), so nobody else connects
    // before it is given to the group.
    mode_t mask = ::umask(0177);
    server_->set_address_family(AF_UNIX);
    // The port means nothing to a Unix socket; 0 would make the library look up which it got.
    bool bound = server_->bind_to_port(path.c_str(), 80);
    ::umask(mask);
    return bound && ::chown(path.c_str(), ::geteuid(), group) == 0 &&
           ::chmod(path.c_str(), 0660) == 0;
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
    return operations_.Running();
}

void WebHost::ReopenLogs() {
    accessLog_->Reopen();
    auditLog_->Reopen();
}

void WebHost::ReloadUsersFile() {
    if (usersWatch_) {
        usersWatch_->Look(true, [this] { EndSessionsOfRemovedUsers(); });
    }
}

void WebHost::EndSessionsOfRemovedUsers() {
    std::string error;
    auto entries = ReadUsersFile(options_.usersFile, error);
    if (!entries) {
        Say(Priority::Warning, "vantrel-host: " + error + "; its users' sessions end");
    }
    auto removed = [&entries](const SignedInAccount& account) {
        return !entries || std::none_of(entries->begin(), entries->end(), [&](const UserEntry& e) {
            return e.name == account.name && e.actsAs == account.linuxAccount;
        });
    };
    for (const auto& account : sessions_.EndWhere(removed)) {
        auditLog_->Append(
            SignInAuditLine(WhoOf(account.get(), ""), "signout", "ended: not in the users file"));
    }
}

void WebHost::FlushLogs() {
    accessLog_->Flush();
    auditLog_->Flush();
}

std::string WebHost::SessionCookie(const std::string& id, bool secure, bool expired) const {
    return std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict" +
           (secure ? "; Secure" : "") + (expired ? "; Max-Age=0" : "");
}

void WebHost::Route(const httplib::Request& request, httplib::Response& response,
                    const httplib::ContentReader* read) {
    ForwardedRequest site =
        ResolveForwarded(request, options_.trustedProxies, options_.Tls(), options_.OnSocket());
    t_notes.client = site.client;
    if (site.https) {
        response.set_header("Strict-Transport-Security", "max-age=31536000");
    }
    if (!IsSameSitePost(request, site)) {
        response.status = 403;
        response.set_content("Cross-site requests are refused.\n", kTextContentType);
        return;
    }
    const bool signsIn = options_.signIn != SignInMode::None;
    if (signsIn && request.path == "/signin") {
        request.method == "POST" ? SignIn(request, site, response)
                                 : ShowSignIn(response, 200, "", "");
        return;
    }
    if (signsIn && request.path == "/signout" && request.method == "POST") {
        SignOut(request, site, response);
        return;
    }
    if (usersWatch_) {
        usersWatch_->Look(false, [this] { EndSessionsOfRemovedUsers(); });
    }
    std::string id = CookieValue(request.get_header_value("Cookie"), kSessionCookie);
    auto found = sessions_.Find(id);
    if (!found && !signsIn) {
        id = sessions_.Start(nullptr);
        response.set_header("Set-Cookie", SessionCookie(id, site.https));
        found = sessions_.Find(id);
    }
    if (!found) {
        // Nothing of the application without a signed-in session; an operation posted into a
        // frame is refused outright, so nothing is done for it.
        asp::Request page = BuildPageRequest(request, options_.page, "");
        AuditWho nobody{std::chrono::system_clock::now(), "", {}, {}, site.client};
        if (read) {
            auditLog_->Append(
                TransferAuditLine(nobody, "upload", "", "", 0, "refused: not signed in"));
            ShowSignIn(response, 401, "", "");
        } else if (request.path == options_.page && IsOperationCall(page)) {
            auditLog_->Append(
                OperationAuditLine(nobody, UnreportedOperation(page, "Not signed in."), {}));
            ShowSignIn(response, 401, "", "");
        } else {
            ShowSignIn(response, 200, "", "");
        }
        return;
    }
    Caller caller{found->session, found->account, site};
    t_notes.account = caller.account ? caller.account->name : "";
    if (request.path == options_.page) {
        ServePage(request, response, caller);
    } else if (request.path == downloadPath_ &&
               (request.method == "GET" || request.method == "POST")) {
        t_notes.streamedBytes = ServeDownload(request, response, TransferOf(request, caller));
    } else if (request.path == uploadPath_ && read) {
        ServeUpload(request, response, *read, TransferOf(request, caller), [](size_t bytes) {
            t_notes.streamedBytes = t_notes.streamedBytes.value_or(0) + bytes;
        });
    } else if (request.method == "GET" && request.path == "/") {
        response.set_redirect(options_.page);
    } else if (request.method == "GET") {
        ServeStatic(request, response, caller);
    } else {
        response.status = 405;
    }
}

void WebHost::ShowSignIn(httplib::Response& response, int status, std::string_view message,
                         std::string_view account) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(SignInPage(message, account), kPageContentType);
}

void WebHost::SignIn(const httplib::Request& request, const ForwardedRequest& site,
                     httplib::Response& response) {
    asp::Request form({}, ParseUrlEncoded(request.body), {}, {});
    std::string name = form.Form("account");
    std::string password = form.Form("password");
    const std::string& client = site.client;
    AuditWho who{std::chrono::system_clock::now(), name, {}, {}, client};
    // A name no account can have goes no further: not to the throttle's memory, nor to PAM.
    if (!IsValidUserName(name)) {
        auditLog_->Append(SignInAuditLine(who, "signin", "refused: not a valid account name"));
        ShowSignIn(response, 200, kWrongSignIn, "");
        return;
    }
    const auto arrived = std::chrono::steady_clock::now();
    SignInGate::Pass pass(signInGate_, client);
    if (!pass.Admitted()) {
        auditLog_->Append(SignInAuditLine(who, "signin", "refused: too many sign-ins at once"));
        ShowSignIn(response, 503, kSignInsBusy, name);
        return;
    }
    auto now = clock_();
    if (throttle_.IsLockedOut(name, client, now)) {
        auditLog_->Append(SignInAuditLine(who, "signin", "locked out"));
        ShowSignIn(response, 429, kLockedOut, name);
        return;
    }
    std::optional<AcceptedName> accepted;
    if (!name.empty() && !password.empty()) {
        accepted = authenticator_->Check(name, password, client);
    }
    auto account = std::make_shared<SignedInAccount>();
    std::string refusal = accepted ? "" : "failed";
    if (accepted) {
        account->name = accepted->name;
        account->linuxAccount = accepted->actsAs;
        if (switchesFileRights_) {
            account->credentials = LookUpFileCredentials(accepted->actsAs);
            // A root host lends nobody its own rights, by a missing account or by root's own.
            if (!account->credentials || account->credentials->uid == 0) {
                refusal = "refused: no account of its own to act as";
            }
        }
    }
    if (!refusal.empty()) {
        throttle_.RecordFailure(name, client, now);
        auditLog_->Append(SignInAuditLine(who, "signin", refusal));
        // Unknown names fail sooner than wrong passwords; every failure is answered alike late.
        std::this_thread::sleep_until(arrived + options_.failedSignInTime);
        ShowSignIn(response, 200, kWrongSignIn, name);
        return;
    }
    throttle_.RecordSuccess(name, client);
    // Never the id the browser came with: a session id planted before sign-in is worth nothing.
    sessions_.End(CookieValue(request.get_header_value("Cookie"), kSessionCookie));
    std::string id = sessions_.Start(account);
    auditLog_->Append(SignInAuditLine(WhoOf(account.get(), client), "signin", "signed in"));
    t_notes.account = account->name;
    response.set_header("Set-Cookie", SessionCookie(id, site.https));
    response.set_header("Cache-Control", "no-store");
    response.status = 303;
    response.set_header("Location", options_.page);
}

void WebHost::SignOut(const httplib::Request& request, const ForwardedRequest& site,
                      httplib::Response& response) {
    std::string id = CookieValue(request.get_header_value("Cookie"), kSessionCookie);
    if (auto found = sessions_.Find(id); found && found->account) {
        auditLog_->Append(
            SignInAuditLine(WhoOf(found->account.get(), site.client), "signout", "done"));
        t_notes.account = found->account->name;
    }
    sessions_.End(id);
    response.set_header("Set-Cookie", SessionCookie("", site.https, true));
    response.status = 303;
    response.set_header("Location", options_.page);
}

void WebHost::ServePage(const httplib::Request& request, httplib::Response& response,
                        const Caller& caller) {
    response.set_header("Cache-Control", "no-store");
    // A proxy in front (nginx) passes each progress dot on as it is written.
    response.set_header("X-Accel-Buffering", "no");
    auto run = std::make_shared<PageRun>(PageRun{
        BuildPageRequest(request, options_.page, HostName(caller.site.host, options_.listenAddress),
                         caller.account ? caller.account->name : "", caller.site.client),
        caller.session, asp::Server(options_.webRoot), caller.account, caller.site.client});
    run->operationCall = IsOperationCall(run->request);
    std::shared_ptr<OperationAdmission::Ticket> ticket;
    if (run->operationCall) {
        ticket = std::make_shared<OperationAdmission::Ticket>(operations_);
        if (!ticket->Admitted()) {
            auditLog_->Append(OperationAuditLine(
                WhoOf(run->account.get(), run->client),
                UnreportedOperation(run->request, "The server is too busy."), {}));
            response.status = 503;
            response.set_content(kTooBusyPage, kPageContentType);
            return;
        }
    }
    LogWriter* audit = auditLog_.get();
    response.set_chunked_content_provider(
        kPageContentType, [run, ticket, audit](size_t, httplib::DataSink& sink) {
            t_notes.streamedBytes = 0;
            // Pages leave in pieces of a few kilobytes, progress dots at once.
            asp::Response pageResponse(
                [&sink](std::string_view text) {
                    t_notes.streamedBytes = *t_notes.streamedBytes + text.size();
                    return sink.is_writable() && sink.write(text.data(), text.size());
                },
                kPagePiece, PushResponse);
            std::optional<asp::OperationRecord> record;
            asp::ScriptingContext context{run->request, pageResponse, *run->session, run->server,
                                          [&record](const asp::OperationRecord& r) { record = r; }};
            std::string id;
            if (run->operationCall) {
                // On record before anything is touched: a crash cannot take the operation with it.
                id = NewOperationId();
                audit->Append(OperationStartLine(WhoOf(run->account.get(), run->client), id,
                                                 AskedOperation(run->request)));
                audit->Flush();
            }
            auto started = std::chrono::steady_clock::now();
            try {
                // The account's file rights hold for this thread (and any thread it starts) while
                // the component runs on it. The zip library's own worker threads only ever use
                // descriptors that this thread opened, so they need no rights of their own: every
                // permission check happens here, under the account's credentials.
                std::optional<ThreadFileCredentials> rights;
                if (run->account && run->account->credentials) {
                    rights.emplace(*run->account->credentials);
                }
                if (rights && !rights->Switched()) {
                    pageResponse.Write(kNoFileRights);
                    record = UnreportedOperation(run->request, kNoFileRights);
                } else {
                    ShowComponentPage(context);
                }
            } catch (...) {
                record = UnreportedOperation(run->request, "The page failed.");
            }
            if (run->operationCall) {
                if (record) {
                    ReportAbortedAtStop(*record);
                }
                auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - started);
                audit->Append(OperationAuditLine(
                    WhoOf(run->account.get(), run->client),
                    record.value_or(UnreportedOperation(run->request, "No report.")), took, id));
            }
            pageResponse.End();
            sink.done();
            return true;
        });
}

TransferCaller WebHost::TransferOf(const httplib::Request& request, const Caller& caller) const {
    std::string account = caller.account ? caller.account->name : "";
    return {
        BuildPageRequest(request, options_.page, HostName(caller.site.host, options_.listenAddress),
                         account, caller.site.client),
        caller.session,
        caller.account,
        caller.site.client,
        options_.webRoot,
        auditLog_.get()};
}

void WebHost::ServeStatic(const httplib::Request& request, httplib::Response& response,
                          const Caller& caller) {
    std::optional<ThreadFileCredentials> rights;
    if (caller.account && caller.account->credentials) {
        rights.emplace(*caller.account->credentials);
        if (!rights->Switched()) {
            response.status = 503;
            return;
        }
    }
    auto file = OpenStaticFile(options_.webRoot, request.path);
    if (!file) {
        response.status = 404;
        response.set_content("Not found.\n", kTextContentType);
        return;
    }
    response.set_header("Content-Security-Policy", kStaticFilePolicy);
    platform::UniqueFd read(::fcntl(file->Fd(), F_DUPFD_CLOEXEC, 0));
    t_notes.streamedBytes =
        RespondWithFile(std::move(read), request, response, ContentTypeOf(file->RealPath()));
}

}  // namespace vantrel::host
