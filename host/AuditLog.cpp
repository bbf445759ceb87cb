#include "host/AuditLog.h"

#include <ctime>
#include <vector>

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

std::string WhoFields(const AuditWho& who, std::string_view event) {
    std::string line = "{\"time\":" + Json(IsoTime(who.time)) + ",\"event\":" + Json(event) +
                       ",\"account\":" + Json(who.account, kMaxAccount);
    if (who.uid) {
        line += ",\"uid\":" + std::to_string(*who.uid);
    }
    if (who.gid) {
        line += ",\"gid\":" + std::to_string(*who.gid);
    }
    return line + ",\"client\":" + Json(who.client);
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
                               std::chrono::milliseconds duration) {
    std::string letter = record.letter ? std::string(1, record.letter) : "";
    return WhoFields(who, "operation") + ",\"operation\":" + Json(letter) +
           ",\"archive\":" + Json(record.archive) + ",\"target\":" + Json(record.target) + "," +
           Entries(record.entries) +
           ",\"status\":" + (record.status ? std::to_string(*record.status) : "null") +
           ",\"result\":" + Json(OutcomeName(record.outcome)) +
           ",\"text\":" + Json(PlainText(record.text)) +
           ",\"durationMs\":" + std::to_string(duration.count()) +
           ",\"bytesIn\":" + std::to_string(record.bytesIn) +
           ",\"bytesOut\":" + std::to_string(record.bytesOut) + "}";
}

std::string SignInAuditLine(const AuditWho& who, std::string_view event, std::string_view result) {
    return WhoFields(who, event) + ",\"result\":" + Json(result) + "}";
}

}  // namespace vantrel::host
