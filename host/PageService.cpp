#include "host/PageService.h"

#include <algorithm>
#include <optional>

#include "component/Component.h"
#include "host/AuditLog.h"
#include "host/CheckedServer.h"
#include "host/JournalLines.h"
#include "host/PageRequest.h"
#include "host/RequestNotes.h"
#include "host/ThreadFileCredentials.h"

namespace vantrel::host {

namespace {

constexpr const char* kPageContentType = "text/html; charset=utf-8";
constexpr size_t kPagePiece = 16 * 1024;
constexpr const char* kTooBusyPage =
    "<HTML><BODY BGCOLOR=\"#C0C0C0\"><FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">"
    "<B>The server is too busy to start another operation now. Please try again in a "
    "moment.</B></FONT></BODY></HTML>\r\n";
constexpr const char* kNoFileRights =
    "<B>Error:</B> The server cannot work with your account's file rights now.";

// Everything one page request needs, kept alive until the page has been streamed.
struct PageRun {
    asp::Request request;
    std::shared_ptr<asp::Session> session;
    asp::Server server;
    std::shared_ptr<const SignedInAccount> account;
    std::string client;
    bool operationCall = false;
    std::shared_ptr<OperationAdmission::Ticket> ticket;  // of an operation call

    AuditWho Who() const { return WhoOf(account.get(), client); }
};

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

// Runs the component for the page. The account's file rights hold for this thread (and any
// thread it starts) while the component runs on it. The zip library's own worker threads only
// ever use descriptors that this thread opened, so they need no rights of their own: every
// permission check happens here, under the account's credentials.
void RunComponent(const PageRun& run, asp::ScriptingContext& context,
                  std::optional<asp::OperationRecord>& record) {
    try {
        std::optional<ThreadFileCredentials> rights;
        if (run.account && run.account->credentials) {
            rights.emplace(*run.account->credentials);
        }
        if (rights && !rights->Switched()) {
            context.response.Write(kNoFileRights);
            record = UnreportedOperation(run.request, kNoFileRights);
        } else {
            ShowComponentPage(context);
        }
    } catch (...) {
        record = UnreportedOperation(run.request, "The page failed.");
    }
}

// On record before anything is touched: a crash cannot take the operation with it. Gives back
// the operation's id.
std::string RecordStart(const PageRun& run, LogWriter& audit) {
    std::string id = NewOperationId();
    audit.Append(OperationStartLine(run.Who(), id, AskedOperation(run.request)));
    audit.Flush();
    return id;
}

void RecordEnd(const PageRun& run, LogWriter& audit, const std::string& id,
               const std::optional<asp::OperationRecord>& record,
               std::chrono::steady_clock::time_point started) {
    if (record) {
        ReportAbortedAtStop(*record);
    }
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    audit.Append(OperationAuditLine(
        run.Who(), record.value_or(UnreportedOperation(run.request, "No report.")), took, id));
}

void StreamPage(PageRun& run, LogWriter& audit, httplib::DataSink& sink) {
    RequestNotes& notes = ThisRequestNotes();
    notes.streamedBytes = 0;
    // Pages leave in pieces of a few kilobytes, progress dots at once.
    asp::Response pageResponse(
        [&sink, &notes](std::string_view text) {
            notes.streamedBytes = *notes.streamedBytes + text.size();
            return sink.is_writable() && sink.write(text.data(), text.size());
        },
        kPagePiece, PushResponse);
    std::optional<asp::OperationRecord> record;
    asp::ScriptingContext context{run.request, pageResponse, *run.session, run.server,
                                  [&record](const asp::OperationRecord& r) { record = r; }};
    std::string id = run.operationCall ? RecordStart(run, audit) : "";
    auto started = std::chrono::steady_clock::now();
    RunComponent(run, context, record);
    if (run.operationCall) {
        RecordEnd(run, audit, id, record, started);
    }
    pageResponse.End();
    sink.done();
}

}  // namespace

asp::Request PageFields(const httplib::Request& request, const RequestCaller& caller,
                        const HostOptions& options) {
    return BuildPageRequest(request, options.page,
                            HostName(caller.site.host, options.listenAddress),
                            caller.account ? caller.account->name : "", caller.site.client);
}

asp::OperationRecord UnreportedOperation(const asp::Request& request, std::string text) {
    asp::OperationRecord record = AskedOperation(request);
    record.outcome = asp::OperationOutcome::Refused;
    record.text = std::move(text);
    return record;
}

PageService::PageService(const HostOptions& options, const std::unique_ptr<LogWriter>& auditLog)
    : options_(options), auditLog_(auditLog), operations_(std::max(1, options.threads / 2)) {}

void PageService::Serve(const httplib::Request& request, httplib::Response& response,
                        const RequestCaller& caller) {
    response.set_header("Cache-Control", "no-store");
    // A proxy in front (nginx) passes each progress dot on as it is written.
    response.set_header("X-Accel-Buffering", "no");
    auto run = std::make_shared<PageRun>(PageRun{PageFields(request, caller, options_),
                                                 caller.session, asp::Server(options_.webRoot),
                                                 caller.account, caller.site.client});
    run->operationCall = IsOperationCall(run->request);
    if (run->operationCall) {
        run->ticket = std::make_shared<OperationAdmission::Ticket>(operations_);
        if (!run->ticket->Admitted()) {
            auditLog_->Append(OperationAuditLine(
                run->Who(), UnreportedOperation(run->request, "The server is too busy."), {}));
            response.status = 503;
            response.set_content(kTooBusyPage, kPageContentType);
            return;
        }
    }
    LogWriter* audit = auditLog_.get();
    response.set_chunked_content_provider(kPageContentType,
                                          [run, audit](size_t, httplib::DataSink& sink) {
                                              StreamPage(*run, *audit, sink);
                                              return true;
                                          });
}

}  // namespace vantrel::host
