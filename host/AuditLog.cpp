#include "host/AuditLog.h"

#include <unistd.h>

#include <atomic>
#include <ctime>
#include <exception>
#include <optional>
#include <vector>

#include "host/RandomToken.h"

namespace vantrel::host {

namespace {

constexpr size_t kMaxListedEntries = 100;
// What a line holds at most of a text (a path, a message) and of an account name as given: a
// line stays short whatever a request carried.
constexpr size_t kMaxText = 4096;
constexpr size_t kMaxAccount = 64;

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0xc2 ? 0 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : lead < 0xf5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// A JSON string of at most the first most bytes of text ("..." follows a cut). Bytes that are not
// UTF-8 become \u00XX, so the line stays valid JSON whatever a request or file name held.
std::string Json(std::string_view text, size_t most = kMaxText) {
    static const char kHex[] = "0123456789abcdef";
    bool cut = text.size() > most;
    text = text.substr(0, most);
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else if (size_t length = c >= 0x80 ? Utf8Length(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        }
    }
    return out + (cut ? "...\"" : "\"");
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
    return std::string(text) + fraction;
}

// The line's opening: time, event, the operation's id (when given), fields, and who.
std::string WhoFields(const AuditWho& who, std::string_view event, std::string_view id = {},
                      const std::string& fields = {}) {
    std::string line = "{\"time\":" + Json(IsoTime(who.time)) + ",\"event\":" + Json(event) +
                       (id.empty() ? "" : ",\"id\":" + Json(id)) + fields +
                       ",\"account\":" + Json(who.account, kMaxAccount);
    if (who.uid) {
        line += ",\"uid\":" + std::to_string(*who.uid);
    }
    if (who.gid) {
        line += ",\"gid\":" + std::to_string(*who.gid);
    }
    return line + ",\"client\":" + Json(who.client);
}

// The operation letter, archive and target.
std::string WhatFields(const asp::OperationRecord& record) {
    std::string letter = record.letter ? std::string(1, record.letter) : "";
    return ",\"operation\":" + Json(letter) + ",\"archive\":" + Json(record.archive) +
           ",\"target\":" + Json(record.target);
}

// The value of a line's top-level field key, as text (a string decoded); nullopt when the line
// has no such field. Only this log's own lines are read: inside a string every quote is escaped,
// so a field begins where a quote follows "{" or ",".
std::optional<std::string> FieldOf(std::string_view line, std::string_view key) {
    std::string opening = "\"" + std::string(key) + "\":";
    size_t at = 0;
    while ((at = line.find(opening, at)) != std::string_view::npos &&
           (at == 0 || (line[at - 1] != '{' && line[at - 1] != ','))) {
        ++at;
    }
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(at + opening.size());
    if (rest.empty() || rest[0] != '"') {
        return std::string(rest.substr(0, rest.find_first_of(",}")));
    }
    std::string text;
    for (size_t i = 1; i < rest.size() && rest[i] != '"'; ++i) {
        if (rest[i] != '\\' || i + 1 >= rest.size()) {
            text += rest[i];
        } else if (rest[++i] == 'u' && i + 4 < rest.size()) {
            text += static_cast<char>(std::stoi(std::string(rest.substr(i + 3, 2)), nullptr, 16));
            i += 4;
        } else {
            text += rest[i];
        }
    }
    return text;
}

std::time_t TimeOf(const std::string& iso) {
    std::tm utc{};
    if (!::strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%S", &utc)) {
        return 0;
    }
    return ::timegm(&utc);
}

UnfinishedOperation StartedOperation(std::string_view line, std::string id) {
    UnfinishedOperation started;
    started.id = std::move(id);
    started.started = FieldOf(line, "time").value_or("");
    started.startedAt = TimeOf(started.started);
    started.pid = static_cast<pid_t>(std::stol(FieldOf(line, "pid").value_or("0")));
    started.account = FieldOf(line, "account").value_or("");
    if (auto uid = FieldOf(line, "uid")) {
        started.uid = static_cast<uid_t>(std::stoul(*uid));
    }
    if (auto gid = FieldOf(line, "gid")) {
        started.gid = static_cast<gid_t>(std::stoul(*gid));
    }
    started.letter = FieldOf(line, "operation").value_or("");
    started.archive = FieldOf(line, "archive").value_or("");
    started.target = FieldOf(line, "target").value_or("");
    return started;
}

const char* OutcomeName(asp::OperationOutcome outcome) {
    switch (outcome) {
        case asp::OperationOutcome::Succeeded:
            return "succeeded";
        case asp::OperationOutcome::Failed:
            return "failed";
        default:
            return "refused";
    }
}

std::string Entries(const std::vector<std::string>& entries) {
    if (entries.size() > kMaxListedEntries) {
        return "\"entryCount\":" + std::to_string(entries.size());
    }
    std::string list = "\"entries\":[";
    for (size_t i = 0; i < entries.size(); ++i) {
        list += (i ? "," : "") + Json(entries[i]);
    }
    return list + "]";
}

std::string DecodeEntity(std::string_view entity) {
    static const std::pair<std::string_view, const char*> kEntities[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"#39", "'"}, {"nbsp", " "}};
    for (const auto& [name, text] : kEntities) {
        if (entity == name) {
            return text;
        }
    }
    return "&" + std::string(entity) + ";";
}

}  // namespace

AuditWho WhoOf(const SignedInAccount* account, const std::string& client) {
    AuditWho who{std::chrono::system_clock::now(), account ? account->name : "", {}, {}, client};
    if (account && account->credentials) {
        who.uid = account->credentials->uid;
        who.gid = account->credentials->gid;
    } else {
        who.uid = ::geteuid();
        who.gid = ::getegid();
    }
    return who;
}

std::string PlainText(std::string_view markup) {
    std::string text;
    for (size_t i = 0; i < markup.size(); ++i) {
        char c = markup[i];
        if (c == '<') {
            size_t close = markup.find('>', i);
            i = close == std::string_view::npos ? markup.size() : close;
            text += ' ';
        } else if (c == '&' && markup.substr(i, 7).find(';') != std::string_view::npos) {
            size_t semicolon = markup.find(';', i);
            text += DecodeEntity(markup.substr(i + 1, semicolon - i - 1));
            i = semicolon;
        } else {
            text += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
        }
    }
    std::string folded;
    for (char c : text) {
        if (c != ' ' || (!folded.empty() && folded.back() != ' ')) {
            folded += c;
        }
    }
    while (!folded.empty() && folded.back() == ' ') {
        folded.pop_back();
    }
    return folded;
}

std::string OperationAuditLine(const AuditWho& who, const asp::OperationRecord& record,
                               std::chrono::milliseconds duration, std::string_view id) {
    return WhoFields(who, "operation", id) + WhatFields(record) + "," + Entries(record.entries) +
           ",\"status\":" + (record.status ? std::to_string(*record.status) : "null") +
           ",\"result\":" + Json(OutcomeName(record.outcome)) +
           ",\"text\":" + Json(PlainText(record.text)) +
           ",\"durationMs\":" + std::to_string(duration.count()) +
           ",\"bytesIn\":" + std::to_string(record.bytesIn) +
           ",\"bytesOut\":" + std::to_string(record.bytesOut) + "}";
}

std::string NewOperationId() {
    static const std::string run = RandomToken(4);
    static std::atomic<uint64_t> counter = 0;
    return run + "-" + std::to_string(++counter);
}

std::string OperationStartLine(const AuditWho& who, std::string_view id,
                               const asp::OperationRecord& asked) {
    return WhoFields(who, "start", id, ",\"pid\":" + std::to_string(::getpid())) +
           WhatFields(asked) + "}";
}

std::vector<UnfinishedOperation> UnfinishedOperations(std::istream& log) {
    std::vector<UnfinishedOperation> started;
    for (std::string line; std::getline(log, line);) {
        std::optional<std::string> id = FieldOf(line, "id");
        std::optional<std::string> event = FieldOf(line, "event");
        if (!id || !event) {
            continue;
        }
        try {
            if (*event == "start") {
                started.push_back(StartedOperation(line, *id));
            } else {
                std::erase_if(started, [&](const auto& known) { return known.id == *id; });
            }
        } catch (const std::exception&) {
            // A line cut short by a crash, or one that is not this log's own: not a start.
        }
    }
    return started;
}

std::string UnfinishedAuditLine(std::chrono::system_clock::time_point now,
                                const UnfinishedOperation& operation, std::string_view text) {
    return "{\"time\":" + Json(IsoTime(now)) +
           ",\"event\":\"unfinished\",\"id\":" + Json(operation.id) +
           ",\"account\":" + Json(operation.account, kMaxAccount) +
           ",\"operation\":" + Json(operation.letter) + ",\"archive\":" + Json(operation.archive) +
           ",\"target\":" + Json(operation.target) + ",\"started\":" + Json(operation.started) +
           ",\"text\":" + Json(text) + "}";
}

std::string TransferAuditLine(const AuditWho& who, std::string_view event, std::string_view path,
                              std::string_view entry, uint64_t bytes, std::string_view result,
                              std::string_view id) {
    return WhoFields(who, event, id) + ",\"path\":" + Json(path) +
           (entry.empty() ? "" : ",\"entry\":" + Json(entry)) +
           ",\"bytes\":" + std::to_string(bytes) + ",\"result\":" + Json(result) + "}";
}

std::string SignInAuditLine(const AuditWho& who, std::string_view event, std::string_view result) {
    return WhoFields(who, event) + ",\"result\":" + Json(result) + "}";
}

}  // namespace vantrel::host
