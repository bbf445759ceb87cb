#pragma once
// The web host: serves the application page by running the component once per request, streaming
// what it writes, and serves the web root's static files (the help page and the like). Unless it
// serves a loopback address without sign-in, every request needs a signed-in session; a host
// running as root runs each request with the signed-in account's file rights. It ties together
// its server (ServerSetup), sign-in and sessions (SignInService), the page (PageService),
// downloads, uploads and static files, and routes each request to one of them.

#include <httplib.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/ForwardedRequest.h"
#include "host/HostOptions.h"
#include "host/LogWriter.h"
#include "host/PageService.h"
#include "host/RequestReader.h"
#include "host/SessionStore.h"
#include "host/SignInService.h"
#include "host/TransferCaller.h"

namespace vantrel::host {

class WebHost {
  public:
    // clock: the sessions' and sign-in throttle's time (tests move it on).
    explicit WebHost(HostOptions options,
                     SessionStore::Clock clock = std::chrono::steady_clock::now);
    ~WebHost();

    // Publishes the drive map and registry root to the process, creates the web root, c:\temp,
    // the queue's folder and the help page when missing, opens the logs and sets up sign-in and
    // TLS. False with a reason when the host cannot or must not serve.
    bool Prepare(std::string& error);
    // Binds the listening address (port 0: any free port) or Unix socket; false when it cannot.
    bool Bind();
    // Serves until Stop, then waits for the requests being served; true unless it could not serve.
    bool Run();
    // Stops accepting connections: Run returns once the requests being served have ended. Safe to
    // call from any thread, and again: a stop asked for before Run serves takes effect when called
    // again once it does.
    void Stop();
    // Aborts the running operations through the zip library's progress callback and ends every
    // wait for an operation slot; for a stop that has waited long enough.
    void AbortOperations();
    // Operation requests being served now.
    int RunningOperations() const;
    // Opens the log files anew by their names (SIGHUP, after logrotate).
    void ReopenLogs();
    // Reads the users file again (SIGHUP; a change is also noticed at the next request): the
    // sessions of users it no longer names, or names with another Linux account, end. A file that
    // can no longer be read, or that others could change, ends every session of its users.
    void ReloadUsersFile();
    std::string Address() const;
    // What the host says at start: who may use it and with whose file rights.
    std::vector<std::string> StartNotes() const;
    // Waits until the logs hold every line written so far.
    void FlushLogs();

  private:
    // read: the body's reader of an upload, whose body the host streams rather than reads whole.
    void Route(const httplib::Request& request, httplib::Response& response,
               const httplib::ContentReader* read);
    void ServeSignedIn(const httplib::Request& request, httplib::Response& response,
                       const httplib::ContentReader* read, const RequestCaller& caller);
    // Nothing of the application without a signed-in session; an operation or upload posted into
    // a frame is refused outright and recorded, so nothing is done for it.
    void RefuseWithoutSession(const httplib::Request& request, const ForwardedRequest& site,
                              httplib::Response& response, const httplib::ContentReader* read);
    TransferCaller TransferOf(const httplib::Request& request, const RequestCaller& caller) const;
    bool OpenLogs(std::string& error);
    // What the request may carry: the page's forms for a signed-in session, a sign-in before.
    BodyLimit BodyLimitOf(const RequestShape& shape);

    HostOptions options_;
    // Downloads and uploads are served beside the page: "download" and "upload" in its folder.
    std::string downloadPath_;
    std::string uploadPath_;
    std::string uploadRefusal_;
    bool switchesFileRights_;
    std::unique_ptr<LogWriter> accessLog_;
    std::unique_ptr<LogWriter> auditLog_;
    SignInService signIns_;
    PageService pages_;
    std::unique_ptr<httplib::Server> server_;
    std::mutex stopMutex_;
    bool stopping_ = false;
    bool stopSent_ = false;
};

}  // namespace vantrel::host
