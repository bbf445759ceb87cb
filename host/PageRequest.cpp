#include "host/PageRequest.h"

#include "platform/text/TextPieces.h"

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

// "name=value" into its two halves; a piece without "=" is a name with an empty value.
std::pair<std::string, std::string> NameAndValue(std::string_view piece) {
    size_t equals = piece.find('=');
    if (equals == std::string_view::npos) {
        return {std::string(piece), ""};
    }
    return {std::string(piece.substr(0, equals)), std::string(piece.substr(equals + 1))};
}

}  // namespace

asp::FieldList ParseUrlEncoded(const std::string& text) {
    asp::FieldList fields;
    for (auto piece : platform::SplitText(text, '&')) {
        if (!piece.empty()) {
            auto [name, value] = NameAndValue(piece);
            fields.emplace_back(httplib::detail::decode_url(name, true),
                                httplib::detail::decode_url(value, true));
        }
    }
    return fields;
}

asp::FieldList ParseCookies(const std::string& header) {
    asp::FieldList cookies;
    for (auto piece : platform::SplitText(header, ';')) {
        std::string pair = platform::TrimBlanks(piece);
        if (pair.find('=') != std::string::npos) {
            cookies.push_back(NameAndValue(pair));
        }
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

std::string HostName(const std::string& host, const std::string& fallback) {
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
                              const std::string& serverName, const std::string& account,
                              const std::string& client) {
    std::string query = QueryOf(request.target);
    asp::FieldList form = IsFormPost(request) ? ParseUrlEncoded(request.body) : asp::FieldList{};
    asp::FieldList variables = {
        {"SCRIPT_NAME", scriptName},
        {"SERVER_NAME", serverName},
        {"REQUEST_METHOD", request.method},
        {"QUERY_STRING", query},
        {"REMOTE_ADDR", client.empty() ? request.remote_addr : client},
        {"REMOTE_PORT", std::to_string(request.remote_port)},
        {"HTTP_HOST", request.get_header_value("Host")},
        {"HTTP_USER_AGENT", request.get_header_value("User-Agent")},
        {"SERVER_PROTOCOL", request.version},
        {"PATH_INFO", scriptName},
        {"AUTH_USER", account},
    };
    return asp::Request(ParseUrlEncoded(query), std::move(form),
                        ParseCookies(request.get_header_value("Cookie")), std::move(variables));
}

bool IsSameSitePost(const httplib::Request& request, const ForwardedRequest& site) {
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
    std::string origin = SiteOf(claimed);
    bool https = origin == "https://" + site.host;
    bool http = origin == "http://" + site.host;
    if (site.forwardedScheme) {
        return site.https ? https : http;
    }
    return http || https;
}

}  // namespace vantrel::host
