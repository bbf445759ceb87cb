#pragma once
// The audit log: one JSON line for every operation (succeeded, failed or refused) and every
// sign-in, sign-in failure and sign-out, with who did it and from where.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/asp/OperationRecord.h"

namespace vantrel::host {

struct AuditWho {
    std::chrono::system_clock::time_point time;
    std::string account;  // empty: nobody signed in
    std::optional<uid_t> uid;
    std::optional<gid_t> gid;
    std::string client;
};

// {"time":"2024-10-10T11:55:36.120Z","event":"operation","account":"alice","uid":1001,
//  "gid":1001,"client":"10.0.0.7","operation":"-","archive":"c:\\d\\a.zip","target":"",
//  "entries":["c:\\d\\x.txt"],"status":0,"result":"succeeded","text":"Operation complete, no
//  errors.","durationMs":42,"bytesIn":0,"bytesOut":0}
// More than 100 entries are given as "entryCount" instead. The text is the page's, without
// markup. A text holds at most 4096 bytes, an account name 64 ("..." follows a cut).
std::string OperationAuditLine(const AuditWho& who, const asp::OperationRecord& record,
                               std::chrono::milliseconds duration);

// {"time":...,"event":"signin","account":"alice","client":"10.0.0.7","result":"failed"}
std::string SignInAuditLine(const AuditWho& who, std::string_view event, std::string_view result);

// The text a page shows for a piece of markup: tags dropped, entities decoded, blanks folded.
std::string PlainText(std::string_view markup);

}  // namespace vantrel::host
