#include "platform/host/PageRequest.h"

namespace vantrel::host {

namespace {

std::string QueryOf(const std::string& target) {
    size_t question = target.find('?');
    return question == std::string::npos ? std::string() : target.substr(question + 1);
}

bool IsFormPost(const httplib::Request& request) {
    return request.method == "POST" &&
           request.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) ==
               0;
}

// "http://host:port" of an Origin or Referer value, without path.
std::string SiteOf(const std::string& url) {
    size_t scheme = url.find("://");
    if (scheme == std::string::npos) {
        return url;
    }
    size_t path = url.find('/', scheme + 3);
    return path == std::string::npos ? url : url.substr(0, path);
}

}  // namespace

asp::FieldList ParseUrlEncoded(const std::string& text) {
    asp::FieldList fields;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        std::string pair = text.substr(start, end == std::string::npos ? end : end - start);
        if (!pair.empty()) {
            size_t equals = pair.find('=');
            std::string name = pair.substr(0, equals);
            std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
            fields.emplace_back(httplib::detail::decode_url(name, true),
                                httplib::detail::decode_url(value, true));
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return fields;
}

asp::FieldList ParseCookies(const std::string& header) {
    asp::FieldList cookies;
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find(';', start);
        std::string pair = header.substr(start, end == std::string::npos ? end : end - start);
        size_t first = pair.find_first_not_of(' ');
        if (first != std::string::npos) {
            pair = pair.substr(first);
            size_t equals = pair.find('=');
            if (equals != std::string::npos) {
                cookies.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
            }
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return cookies;
}

std::string CookieValue(const std::string& header, const std::string& name) {
    for (const auto& [key, value] : ParseCookies(header)) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

std::string HostName(const httplib::Request& request, const std::string& fallback) {
    std::string host = request.get_header_value("Host");
    if (host.empty()) {
        return fallback;
    }
    if (host.front() == '[') {  // [::1]:8080
        size_t close = host.find(']');
        return close == std::string::npos ? host : host.substr(0, close + 1);
    }
    size_t colon = host.find(':');
    return colon == std::string::npos ? host : host.substr(0, colon);
}

asp::Request BuildPageRequest(const httplib::Request& request, const std::string& scriptName,
                              const std::string& serverName) {
    std::string query = QueryOf(request.target);
    asp::FieldList form = IsFormPost(request) ? ParseUrlEncoded(request.body) : asp::FieldList{};
    asp::FieldList variables = {
        {"SCRIPT_NAME", scriptName},
        {"SERVER_NAME", serverName},
        {"REQUEST_METHOD", request.method},
        {"QUERY_STRING", query},
        {"REMOTE_ADDR", request.remote_addr},
        {"REMOTE_PORT", std::to_string(request.remote_port)},
        {"HTTP_HOST", request.get_header_value("Host")},
        {"HTTP_USER_AGENT", request.get_header_value("User-Agent")},
        {"SERVER_PROTOCOL", request.version},
        {"PATH_INFO", scriptName},
    };
    return asp::Request(ParseUrlEncoded(query), std::move(form),
                        ParseCookies(request.get_header_value("Cookie")), std::move(variables));
}

bool IsSameSitePost(const httplib::Request& request) {
    if (request.method != "POST") {
        return true;
    }
    std::string claimed = request.get_header_value("Origin");
    if (claimed.empty()) {
        claimed = request.get_header_value("Referer");
    }
    if (claimed.empty()) {
        return true;  // not a browser's cross-site form: browsers always name the origin
    }
    std::string host = request.get_header_value("Host");
    std::string site = SiteOf(claimed);
    return site == "http://" + host || site == "https://" + host;
}

}  // namespace vantrel::host
