#pragma once
// Signing in and out, and each request's session. With sign-in, /signin shows and takes the
// sign-in form and /signout ends the session; a signed-in session is found by its cookie, and
// the users file is looked at on every request, so that the users it no longer names are signed
// out at once. Without sign-in (a loopback address), every browser gets a session of its own.
// Every sign-in, refused or not, and every sign-out is recorded in the audit log.

#include <httplib.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/Authenticator.h"
#include "host/ForwardedRequest.h"
#include "host/HostOptions.h"
#include "host/LogWriter.h"
#include "host/SessionStore.h"
#include "host/SignInGate.h"
#include "host/SignInThrottle.h"
#include "host/UsersFileWatch.h"

namespace vantrel::host {

class SignInService {
  public:
    // clock: the sessions' and throttle's time (tests move it on). switchesFileRights: each
    // signed-in user works with their own account's file rights. auditLog: the host's audit log,
    // opened before the first request.
    SignInService(const HostOptions& options, SessionStore::Clock clock, bool switchesFileRights,
                  const std::unique_ptr<LogWriter>& auditLog);
    ~SignInService();

    // Sets up the check of names and passwords. False with the reason when the PAM service is
    // not installed or the users file cannot be read.
    bool Prepare(std::string& error);
    // Answers /signin and /signout when the host signs users in; false for any other request.
    bool Answer(const httplib::Request& request, const ForwardedRequest& site,
                httplib::Response& response);
    // The request's session; nullopt when it has none and must sign in. Without sign-in, a
    // browser without a session gets a new one (its cookie goes with response).
    std::optional<SessionStore::Found> SessionOf(const httplib::Request& request,
                                                 const ForwardedRequest& site,
                                                 httplib::Response& response);
    // Whether the Cookie header names a live session.
    bool HasSession(const std::string& cookieHeader);
    // Reads the users file again: the sessions of users it no longer names, or names with
    // another Linux account, end. A file that can no longer be read, or that others could
    // change, ends every session of its users.
    void ReloadUsersFile();

    // The sign-in page as the answer; message: shown below the form; account: the name shown.
    static void ShowSignIn(httplib::Response& response, int status, std::string_view message = {},
                           std::string_view account = {});

  private:
    void SignIn(const httplib::Request& request, const ForwardedRequest& site,
                httplib::Response& response);
    // The signed-in account that name and password are for; the reason when there is none.
    std::shared_ptr<SignedInAccount> CheckAccount(const std::string& name,
                                                  const std::string& password,
                                                  const std::string& client, std::string& refusal);
    void StartSession(const httplib::Request& request, const ForwardedRequest& site,
                      std::shared_ptr<const SignedInAccount> account, httplib::Response& response);
    void SignOut(const httplib::Request& request, const ForwardedRequest& site,
                 httplib::Response& response);
    void EndSessionsOfRemovedUsers();
    void Record(const std::string& name, const std::string& client, std::string_view result);

    const HostOptions& options_;
    SessionStore::Clock clock_;
    const bool switchesFileRights_;
    const std::unique_ptr<LogWriter>& auditLog_;
    SessionStore sessions_;
    SignInThrottle throttle_;
    SignInGate gate_;
    std::unique_ptr<Authenticator> authenticator_;
    std::unique_ptr<UsersFileWatch> usersWatch_;  // with sign-in users
};

}  // namespace vantrel::host
