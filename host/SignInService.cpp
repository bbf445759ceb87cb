#include "host/SignInService.h"

#include <algorithm>
#include <thread>

#include "host/AccountCredentials.h"
#include "host/AuditLog.h"
#include "host/JournalLines.h"
#include "host/PageRequest.h"
#include "host/RequestNotes.h"
#include "host/SignInPage.h"
#include "host/UsersFile.h"

namespace vantrel::host {

namespace {

constexpr const char* kPageContentType = "text/html; charset=utf-8";

// Sign-ins run at once (each failure holds its thread for its answer time), and from one address.
constexpr int kSignInsAtOnce = 16;
constexpr int kSignInsAtOnceFromAnAddress = 2;

std::string SessionCookie(const std::string& id, bool secure, bool expired = false) {
    return std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict" +
           (secure ? "; Secure" : "") + (expired ? "; Max-Age=0" : "");
}

std::string SessionIdOf(const httplib::Request& request) {
    return CookieValue(request.get_header_value("Cookie"), kSessionCookie);
}

}  // namespace

SignInService::SignInService(const HostOptions& options, SessionStore::Clock clock,
                             bool switchesFileRights, const std::unique_ptr<LogWriter>& auditLog)
    : options_(options),
      clock_(std::move(clock)),
      switchesFileRights_(switchesFileRights),
      auditLog_(auditLog),
      sessions_(options.debug, SessionLimits{}, clock_),
      gate_(kSignInsAtOnce, kSignInsAtOnceFromAnAddress) {}

SignInService::~SignInService() = default;

bool SignInService::Prepare(std::string& error) {
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
    return true;
}

bool SignInService::Answer(const httplib::Request& request, const ForwardedRequest& site,
                           httplib::Response& response) {
    if (options_.signIn == SignInMode::None) {
        return false;
    }
    if (request.path == "/signin") {
        request.method == "POST" ? SignIn(request, site, response) : ShowSignIn(response, 200);
        return true;
    }
    if (request.path == "/signout" && request.method == "POST") {
        SignOut(request, site, response);
        return true;
    }
    return false;
}

std::optional<SessionStore::Found> SignInService::SessionOf(const httplib::Request& request,
                                                            const ForwardedRequest& site,
                                                            httplib::Response& response) {
    if (usersWatch_) {
        usersWatch_->Look(false, [this] { EndSessionsOfRemovedUsers(); });
    }
    auto found = sessions_.Find(SessionIdOf(request));
    if (!found && options_.signIn == SignInMode::None) {
        std::string id = sessions_.Start(nullptr);
        response.set_header("Set-Cookie", SessionCookie(id, site.https));
        found = sessions_.Find(id);
    }
    return found;
}

bool SignInService::HasSession(const std::string& cookieHeader) {
    return sessions_.Find(CookieValue(cookieHeader, kSessionCookie)).has_value();
}

void SignInService::ShowSignIn(httplib::Response& response, int status, std::string_view message,
                               std::string_view account) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(SignInPage(message, account), kPageContentType);
}

void SignInService::SignIn(const httplib::Request& request, const ForwardedRequest& site,
                           httplib::Response& response) {
    asp::Request form({}, ParseUrlEncoded(request.body), {}, {});
    std::string name = form.Form("account");
    const std::string& client = site.client;
    // A name no account can have goes no further: not to the throttle's memory, nor to PAM.
    if (!IsValidUserName(name)) {
        Record(name, client, "refused: not a valid account name");
        ShowSignIn(response, 200, kWrongSignIn);
        return;
    }
    const auto arrived = std::chrono::steady_clock::now();
    SignInGate::Pass pass(gate_, client);
    if (!pass.Admitted()) {
        Record(name, client, "refused: too many sign-ins at once");
        ShowSignIn(response, 503, kSignInsBusy, name);
        return;
    }
    auto now = clock_();
    if (throttle_.IsLockedOut(name, client, now)) {
        Record(name, client, "locked out");
        ShowSignIn(response, 429, kLockedOut, name);
        return;
    }
    std::string refusal;
    auto account = CheckAccount(name, form.Form("password"), client, refusal);
    if (!account) {
        throttle_.RecordFailure(name, client, now);
        Record(name, client, refusal);
        // Unknown names fail sooner than wrong passwords; every failure is answered alike late.
        std::this_thread::sleep_until(arrived + options_.failedSignInTime);
        ShowSignIn(response, 200, kWrongSignIn, name);
        return;
    }
    throttle_.RecordSuccess(name, client);
    StartSession(request, site, std::move(account), response);
}

std::shared_ptr<SignedInAccount> SignInService::CheckAccount(const std::string& name,
                                                             const std::string& password,
                                                             const std::string& client,
                                                             std::string& refusal) {
    std::optional<AcceptedName> accepted;
    if (!name.empty() && !password.empty()) {
        accepted = authenticator_->Check(name, password, client);
    }
    if (!accepted) {
        refusal = "failed";
        return nullptr;
    }
    auto account = std::make_shared<SignedInAccount>();
    account->name = accepted->name;
    account->linuxAccount = accepted->actsAs;
    if (switchesFileRights_) {
        account->credentials = LookUpFileCredentials(accepted->actsAs);
        // A root host lends nobody its own rights, by a missing account or by root's own.
        if (!account->credentials || account->credentials->uid == 0) {
            refusal = "refused: no account of its own to act as";
            return nullptr;
        }
    }
    return account;
}

void SignInService::StartSession(const httplib::Request& request, const ForwardedRequest& site,
                                 std::shared_ptr<const SignedInAccount> account,
                                 httplib::Response& response) {
    // Never the id the browser came with: a session id planted before sign-in is worth nothing.
    sessions_.End(SessionIdOf(request));
    std::string id = sessions_.Start(account);
    auditLog_->Append(SignInAuditLine(WhoOf(account.get(), site.client), "signin", "signed in"));
    ThisRequestNotes().account = account->name;
    response.set_header("Set-Cookie", SessionCookie(id, site.https));
    response.set_header("Cache-Control", "no-store");
    response.status = 303;
    response.set_header("Location", options_.page);
}

void SignInService::SignOut(const httplib::Request& request, const ForwardedRequest& site,
                            httplib::Response& response) {
    std::string id = SessionIdOf(request);
    if (auto found = sessions_.Find(id); found && found->account) {
        auditLog_->Append(
            SignInAuditLine(WhoOf(found->account.get(), site.client), "signout", "done"));
        ThisRequestNotes().account = found->account->name;
    }
    sessions_.End(id);
    response.set_header("Set-Cookie", SessionCookie("", site.https, true));
    response.status = 303;
    response.set_header("Location", options_.page);
}

void SignInService::ReloadUsersFile() {
    if (usersWatch_) {
        usersWatch_->Look(true, [this] { EndSessionsOfRemovedUsers(); });
    }
}

void SignInService::EndSessionsOfRemovedUsers() {
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

void SignInService::Record(const std::string& name, const std::string& client,
                           std::string_view result) {
    AuditWho who{std::chrono::system_clock::now(), name, {}, {}, client};
    auditLog_->Append(SignInAuditLine(who, "signin", result));
}

}  // namespace vantrel::host
