#include "host/FileResponse.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "host/RequestFraming.h"

namespace vantrel::host {

namespace {

constexpr size_t kPiece = 64 * 1024;
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Slice {
    uint64_t first = 0;
    uint64_t length = 0;
};

std::optional<uint64_t> Number(std::string_view text) {
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The one range of "bytes=first-last", "bytes=first-" or "bytes=-suffix"; nullopt for a header
// the host answers with the whole file (none, several ranges, another unit, a wrong one), and a
// slice of length 0 for a range wholly beyond the end.
std::optional<Slice> RangeOf(std::string_view header, uint64_t size) {
    constexpr std::string_view kUnit = "bytes=";
    if (!header.starts_with(kUnit) || header.find(',') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view range = header.substr(kUnit.size());
    size_t dash = range.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    auto first = Number(range.substr(0, dash));
    auto last = Number(range.substr(dash + 1));
    if (!first) {
        if (!last) {
            return std::nullopt;
        }
        uint64_t suffix = std::min(*last, size);
        return Slice{size - suffix, suffix};
    }
    if (last && *last < *first) {
        return std::nullopt;
    }
    if (*first >= size) {
        return Slice{};
    }
    uint64_t end = last ? std::min(*last + 1, size) : size;
    return Slice{*first, end - *first};
}

}  // namespace

std::string HttpDate(time_t time) {
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

std::optional<time_t> ParseHttpDate(std::string_view text) {
    std::tm utc{};
    char day[4] = {}, month[4] = {};
    std::string copy(text);
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%3[A-Za-z], %d %3[A-Za-z] %d %d:%d:%d GMT%n", day, &utc.tm_mday,
                    month, &utc.tm_year, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) != 7 ||
        static_cast<size_t>(consumed) != copy.size()) {
        return std::nullopt;
    }
    auto found = std::find_if(std::begin(kMonths), std::end(kMonths),
                              [&](const char* name) { return std::string_view(name) == month; });
    if (found == std::end(kMonths)) {
        return std::nullopt;
    }
    utc.tm_mon = static_cast<int>(found - std::begin(kMonths));
    utc.tm_year -= 1900;
    return ::timegm(&utc);
}

namespace {

uint64_t AnswerWithFile(platform::UniqueFd file, const httplib::Request& request,
                        httplib::Response& response, const std::string& type) {
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        response.status = 404;
        return 0;
    }
    uint64_t size = static_cast<uint64_t>(status.st_size);
    std::string modified = HttpDate(status.st_mtime);
    response.set_header("Last-Modified", modified);
    response.set_header("Accept-Ranges", "bytes");
    auto since = ParseHttpDate(request.get_header_value("If-Modified-Since"));
    if (since && status.st_mtime <= *since) {
        response.status = 304;
        return 0;
    }
    std::string ifRange = request.get_header_value("If-Range");
    auto range = ifRange.empty() || ifRange == modified
                     ? RangeOf(request.get_header_value(kRangeHeader), size)
                     : std::nullopt;
    Slice slice{0, size};
    response.status = 200;
    if (range && range->length == 0) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        return 0;
    }
    if (range) {
        slice = *range;
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(slice.first) + "-" +
                                                 std::to_string(slice.first + slice.length - 1) +
                                                 "/" + std::to_string(size));
    }
    if (slice.length == 0) {
        response.set_content("", type);
        return 0;
    }
    auto shared = std::make_shared<platform::UniqueFd>(std::move(file));
    response.set_content_provider(
        slice.length, type,
        [shared, first = slice.first](size_t offset, size_t length, httplib::DataSink& sink) {
            char piece[kPiece];
            ssize_t got = ::pread(shared->Get(), piece, std::min(length, kPiece),
                                  static_cast<off_t>(first + offset));
            // A file cut short meanwhile ends the answer early; the client sees it incomplete.
            return got > 0 && sink.write(piece, static_cast<size_t>(got));
        });
    return slice.length;
}

}  // namespace

uint64_t RespondWithFile(platform::UniqueFd file, const httplib::Request& request,
                         httplib::Response& response, const std::string& type,
                         std::function<void(bool whole)> done) {
    uint64_t length = AnswerWithFile(std::move(file), request, response, type);
    if (!done) {
        return length;
    }
    if (response.content_provider_) {
        response.content_provider_resource_releaser_ = [done](bool whole) { done(whole); };
    } else {
        done(true);
    }
    return length;
}

}  // namespace vantrel::host
