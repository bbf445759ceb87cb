#include "host/AccessLog.h"

#include <ctime>

namespace vantrel::host {

namespace {

std::string Escaped(const std::string& text, bool escapeBlank) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f || (escapeBlank && c == ' ')) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// 10/Oct/2024:13:55:36 +0200, in local time; month names are the log format's, whatever the
// locale.
std::string LogTime(std::chrono::system_clock::time_point time) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char day[8], clock[16], zone[8];
    std::strftime(day, sizeof day, "%d", &local);
    std::strftime(clock, sizeof clock, "%Y:%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);
    return std::string(day) + "/" + kMonths[local.tm_mon] + "/" + clock + " " + zone;
}

}  // namespace

std::string CommonLogLine(const AccessEntry& entry) {
    std::string account = entry.account.empty() ? "-" : Escaped(entry.account, true);
    std::string request = Escaped(entry.request, false);
    std::string bytes = entry.bytes ? std::to_string(*entry.bytes) : "-";
    return Escaped(entry.client, true) + " - " + account + " [" + LogTime(entry.time) + "] \"" +
           request + "\" " + std::to_string(entry.status) + " " + bytes;
}

}  // namespace vantrel::host
