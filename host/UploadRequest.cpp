#include "host/UploadRequest.h"

#include <chrono>
#include <memory>
#include <optional>
#include <system_error>

#include "component/Component.h"
#include "host/CheckedServer.h"
#include "host/UploadReceiver.h"

namespace vantrel::host {

namespace {

constexpr const char* kPageType = "text/html; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr size_t kPagePiece = 16 * 1024;

// What the audit log says became of a file.
std::string ResultOf(const UploadedFile& file, bool complete) {
    switch (file.outcome) {
        case UploadOutcome::Stored:
            return "stored";
        case UploadOutcome::Replaced:
            return "replaced";
        case UploadOutcome::Exists:
            return "refused: exists";
        case UploadOutcome::BadName:
            return "refused: a name the server cannot carry";
        case UploadOutcome::Refused:
            return "refused: " + PlainText(file.said);
        case UploadOutcome::Failed:
            return "failed: " + std::generic_category().message(file.systemError);
        case UploadOutcome::DiskFull:
            return "failed: the disk's free space would fall below its reserve";
        case UploadOutcome::NoFolder:
            return "refused: no folder named";
        default:
            return complete ? "not stored" : "cut off";
    }
}

// A line for each file, and for a folder that could not be used; id: the upload's start line's,
// which one of them at least carries.
void AuditFiles(const TransferCaller& caller, const UploadReport& report, bool complete,
                const std::string& id) {
    AuditWho who = caller.Who();
    bool folderFailed = report.folder.outcome != UploadOutcome::Stored;
    if (folderFailed || report.files.empty()) {
        caller.audit->Append(TransferAuditLine(
            who, "upload", report.folder.name, "", 0,
            folderFailed ? ResultOf(report.folder, complete) : "refused: no file", id));
    }
    for (const UploadedFile& file : report.files) {
        caller.audit->Append(TransferAuditLine(who, "upload",
                                               file.path.empty() ? file.name : file.path, "",
                                               file.bytes, ResultOf(file, complete), id));
    }
}

// Receives the form's parts with the account's file rights; the report of what became of them,
// or nullopt when the form did not arrive whole (and nothing was kept).
std::optional<UploadReport> Receive(const httplib::ContentReader& read,
                                    const TransferCaller& caller) {
    asp::Request fields = caller.fields;
    asp::Response unseen([](std::string_view) { return true; });
    asp::Server server(caller.webRoot);
    asp::ScriptingContext context{fields, unseen, *caller.session, server};
    Transfers transfers(context);
    // On record before the first file is written: a crash cannot take the upload with it, and
    // the host's next start clears what it left in the folder.
    std::string id;
    UploadReceiver receiver(transfers, [&](const std::string& folder) {
        if (id.empty()) {
            id = NewOperationId();
            caller.audit->Append(OperationStartLine(caller.Who(), id, {'\0', "", folder}));
            caller.audit->Flush();
        }
    });
    bool complete = read(
        [&](const httplib::MultipartFormData& part) {
            return receiver.Begin(part.name, part.filename);
        },
        [&](const char* data, size_t size) { return receiver.Take(data, size); });
    receiver.Finish(complete);
    AuditFiles(caller, receiver.Report(), complete, id);
    return complete ? std::optional(receiver.Report()) : std::nullopt;
}

// The result page, streamed as the component writes it (an extraction's progress included), with
// the account's file rights. Each extraction is on record when it starts and when it ends.
void WritePage(const UploadReport& report, const TransferCaller& caller,
               const std::function<void(size_t)>& written, httplib::DataSink& sink) {
    asp::Response page(
        [&](std::string_view text) {
            written(text.size());
            return sink.is_writable() && sink.write(text.data(), text.size());
        },
        kPagePiece, PushResponse);
    std::vector<std::string> archives = Transfers::Extractions(report);
    std::string id;
    if (!archives.empty()) {
        id = NewOperationId();
        caller.audit->Append(OperationStartLine(
            caller.Who(), id, Transfers::AskedExtraction(archives.front(), report.folder.path)));
        caller.audit->Flush();
    }
    auto started = std::chrono::steady_clock::now();
    bool recorded = false;
    auto record = [&](const asp::OperationRecord& done) {
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        caller.audit->Append(OperationAuditLine(caller.Who(), done, took, id));
        recorded = true;
        started = std::chrono::steady_clock::now();
    };
    std::optional<ThreadFileCredentials> rights;
    if (caller.SwitchRights(rights)) {
        asp::Request fields = caller.fields;
        asp::Server server(caller.webRoot);
        asp::ScriptingContext context{fields, page, *caller.session, server, record};
        try {
            Transfers transfers(context);
            transfers.WriteUploadResult(report);
        } catch (...) {
        }
    }
    if (!id.empty() && !recorded) {
        asp::OperationRecord none =
            Transfers::AskedExtraction(archives.front(), report.folder.path);
        none.outcome = asp::OperationOutcome::Refused;
        none.text = "No report.";
        caller.audit->Append(OperationAuditLine(caller.Who(), none, {}, id));
    }
    page.End();
}

}  // namespace

void ServeUpload(const httplib::Request& request, httplib::Response& response,
                 const httplib::ContentReader& read, const TransferCaller& caller,
                 std::function<void(size_t)> written) {
    response.set_header("Cache-Control", "no-store");
    if (!request.is_multipart_form_data()) {
        response.status = 400;
        response.set_content("Bad request: an upload is a multipart/form-data form.\n", kTextType);
        return;
    }
    std::optional<UploadReport> report;
    {
        std::optional<ThreadFileCredentials> rights;
        if (!caller.SwitchRights(rights)) {
            response.status = 503;
            return;
        }
        report = Receive(read, caller);
    }
    if (!report) {
        response.status = 400;
        response.set_content(
            "Bad request: the upload ended before its end; nothing of it was stored.\n", kTextType);
        return;
    }
    auto kept = std::make_shared<UploadReport>(std::move(*report));
    response.set_chunked_content_provider(kPageType,
                                          [kept, caller, written](size_t, httplib::DataSink& sink) {
                                              WritePage(*kept, caller, written, sink);
                                              sink.done();
                                              return true;
                                          });
}

}  // namespace vantrel::host
