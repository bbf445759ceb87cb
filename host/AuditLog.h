#pragma once
// The audit log: one JSON line for every operation (succeeded, failed or refused) and every
// sign-in, sign-in failure and sign-out, with who did it and from where. An operation that runs
// also gets a line when it starts, before it touches any file, so that one cut off by a crash
// is still on record: a start line that no end line with its id follows.

#include <sys/types.h>

#include <chrono>
#include <ctime>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/SignedInAccount.h"
#include "platform/asp/OperationRecord.h"

namespace vantrel::host {

struct AuditWho {
    std::chrono::system_clock::time_point time;
    std::string account;  // empty: nobody signed in
    std::optional<uid_t> uid;
    std::optional<gid_t> gid;
    std::string client;
};

// Who the audit log names for a request of account (null: nobody signed in) from client: the
// account and the ids its files are worked on with, the host's own when it switches none.
AuditWho WhoOf(const SignedInAccount* account, const std::string& client);

// {"time":"2024-10-10T11:55:36.120Z","event":"operation","account":"alice","uid":1001,
//  "gid":1001,"client":"10.0.0.7","operation":"-","archive":"c:\\d\\a.zip","target":"",
//  "entries":["c:\\d\\x.txt"],"status":0,"result":"succeeded","text":"Operation complete, no
//  errors.","durationMs":42,"bytesIn":0,"bytesOut":0}
// More than 100 entries are given as "entryCount" instead. The text is the page's, without
// markup. A text holds at most 4096 bytes, an account name 64 ("..." follows a cut).
// id: the one its start line gave it (then written after "event"); empty when none was written.
std::string OperationAuditLine(const AuditWho& who, const asp::OperationRecord& record,
                               std::chrono::milliseconds duration, std::string_view id = {});

// A new id for an operation's start and end lines, unique across the host's runs.
std::string NewOperationId();

// {"time":...,"event":"start","id":"5f0c2a1e-7","pid":4711,"account":"alice","uid":1001,
//  "gid":1001,"client":"10.0.0.7","operation":"-","archive":"c:\\d\\a.zip","target":""}
// asked: the operation as the request asks for it (letter, archive, target). pid: the host's.
std::string OperationStartLine(const AuditWho& who, std::string_view id,
                               const asp::OperationRecord& asked);

// An operation whose start line no end line follows.
struct UnfinishedOperation {
    std::string id;
    std::string started;  // the start line's time, as written
    std::time_t startedAt = 0;
    pid_t pid = 0;  // of the host that ran it
    std::string account;
    std::optional<uid_t> uid;
    std::optional<gid_t> gid;
    std::string letter;
    std::string archive;
    std::string target;
};

// The operations the log's lines started and never ended, in the order they started. An
// operation ends with its end line or with the "unfinished" line a later start wrote for it.
std::vector<UnfinishedOperation> UnfinishedOperations(std::istream& log);

// {"time":...,"event":"unfinished","id":"5f0c2a1e-7","account":"alice","operation":"-",
//  "archive":...,"target":...,"started":"...","text":"..."} for an operation cut off by the end of
// the host that ran it, as the next host found it at start; text says what became of it.
std::string UnfinishedAuditLine(std::chrono::system_clock::time_point now,
                                const UnfinishedOperation& operation, std::string_view text);

// {"time":...,"event":"signin","account":"alice","client":"10.0.0.7","result":"failed"}
std::string SignInAuditLine(const AuditWho& who, std::string_view event, std::string_view result);

// {"time":...,"event":"download","account":"alice","uid":1001,"gid":1001,"client":"10.0.0.7",
//  "path":"c:\\d\\a.zip","entry":"docs/x.txt","bytes":512,"result":"sent"} for each file (or
// archive entry: entry not empty) a download served or refused, and with "event":"upload" for each
// file an upload brought; result says what became of it ("sent", "stored", "cut off", "refused:
// ..."), bytes how many went through. An upload that wrote into its folder has a start line (no
// operation letter, no archive, its folder as the target) and its lines carry the start's id.
std::string TransferAuditLine(const AuditWho& who, std::string_view event, std::string_view path,
                              std::string_view entry, uint64_t bytes, std::string_view result,
                              std::string_view id = {});

// The text a page shows for a piece of markup: tags dropped, entities decoded, blanks folded.
std::string PlainText(std::string_view markup);

}  // namespace vantrel::host
