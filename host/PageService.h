#pragma once
// The application page: each request runs the component once, with the signed-in account's file
// rights, and what it writes is streamed to the browser as it goes (progress dots at once). Only a
// few operation calls run at once (OperationAdmission); one beyond them is told the server is too
// busy. Every operation call is recorded in the audit log before anything is touched and again
// with what became of it.

#include <httplib.h>

#include <memory>
#include <string>

#include "host/ForwardedRequest.h"
#include "host/HostOptions.h"
#include "host/LogWriter.h"
#include "host/OperationAdmission.h"
#include "host/SignedInAccount.h"
#include "platform/asp/ScriptingContext.h"

namespace vantrel::host {

// Who a request comes from: its session, the signed-in account (null without sign-in) and where
// the request came from.
struct RequestCaller {
    std::shared_ptr<asp::Session> session;
    std::shared_ptr<const SignedInAccount> account;
    ForwardedRequest site;
};

// The request's fields as the component reads them, with the caller's account and address.
asp::Request PageFields(const httplib::Request& request, const RequestCaller& caller,
                        const HostOptions& options);

// An operation call that never reached the component, or ended before it reported: named as the
// component names it, refused with text.
asp::OperationRecord UnreportedOperation(const asp::Request& request, std::string text);

class PageService {
  public:
    // auditLog: the host's audit log, opened before the first request.
    PageService(const HostOptions& options, const std::unique_ptr<LogWriter>& auditLog);

    void Serve(const httplib::Request& request, httplib::Response& response,
               const RequestCaller& caller);
    // Operation calls being served now.
    int RunningOperations() const { return operations_.Running(); }

  private:
    const HostOptions& options_;
    const std::unique_ptr<LogWriter>& auditLog_;
    OperationAdmission operations_;
};

}  // namespace vantrel::host
