#include "host/ServedNames.h"

#include <arpa/inet.h>

#include <algorithm>

#include "host/ForwardedRequest.h"
#include "platform/text/AsciiCase.h"

namespace vantrel::host {

namespace {

// The name of a Host value: without port, brackets, final dot, in lower case.
std::string NameOf(std::string_view host) {
    if (host.starts_with('[')) {
        host = host.substr(1, host.find(']') - 1);
    } else if (host.find(':') == host.rfind(':')) {
        host = host.substr(0, host.find(':'));  // a name or IPv4 address, maybe with a port
    }
    if (host.ends_with('.')) {
        host.remove_suffix(1);
    }
    return platform::LowerAscii(std::string(host));
}

// host: a Host value; localAddress: the address the connection arrived at.
bool IsServedName(std::string_view host, const std::string& listenAddress,
                  const std::vector<std::string>& serverNames, std::string_view localAddress) {
    std::string name = NameOf(host);
    if (name.empty()) {
        return false;
    }
    return name == "localhost" || name == NameOf(listenAddress) || name == NameOf(localAddress) ||
           std::any_of(serverNames.begin(), serverNames.end(),
                       [&](const std::string& served) { return name == NameOf(served); });
}

}  // namespace

bool AnswersTo(const httplib::Request& request, const HostOptions& options) {
    // A socket has no address a browser could name.
    const std::string listenAddress = options.OnSocket() ? "" : options.listenAddress;
    auto served = [&](const std::string& host) {
        return IsServedName(host, listenAddress, options.serverNames, request.local_addr);
    };
    ForwardedRequest site =
        ResolveForwarded(request, options.trustedProxies, options.Tls(), options.OnSocket());
    return request.get_header_value_count("Host") == 1 &&
           served(request.get_header_value("Host")) && served(site.host);
}

bool IsServerNameValue(std::string_view name) {
    if (name.find(':') != std::string_view::npos) {
        in6_addr address{};
        return ::inet_pton(AF_INET6, NameOf(name).c_str(), &address) == 1;
    }
    return !name.empty() && name.size() <= 253 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-';
    });
}

}  // namespace vantrel::host
