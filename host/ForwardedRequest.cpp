#include "host/ForwardedRequest.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "platform/text/TextPieces.h"

namespace vantrel::host {

namespace {

// The 16 bytes of an IPv6 address, or the 4 of an IPv4 one at the front; nullopt for anything
// that is not a numeric address.
std::optional<std::pair<bool, std::array<unsigned char, 16>>> NumericAddress(
    std::string_view text) {
    std::string address(text);
    std::array<unsigned char, 16> bytes{};
    if (::inet_pton(AF_INET, address.c_str(), bytes.data()) == 1) {
        return std::pair{false, bytes};
    }
    if (::inet_pton(AF_INET6, address.c_str(), bytes.data()) == 1) {
        return std::pair{true, bytes};
    }
    return std::nullopt;
}

// Every value of a header that may come more than once, in order, split at commas and trimmed.
std::vector<std::string> HeaderList(const httplib::Request& request, const char* name) {
    std::vector<std::string> items;
    auto [first, last] = request.headers.equal_range(name);
    for (auto it = first; it != last; ++it) {
        for (auto piece : platform::SplitText(it->second, ',')) {
            items.push_back(platform::TrimBlanks(piece));
        }
    }
    return items;
}

// A host name or address with an optional port, as a Host header carries it; nothing else may
// reach the page as SERVER_NAME or the same-site check.
bool IsHostValue(std::string_view host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::strchr(".-:[]", c) != nullptr;
    });
}

bool IsTrusted(std::string_view address, const std::vector<TrustedProxy>& proxies) {
    return std::any_of(proxies.begin(), proxies.end(),
                       [&](const TrustedProxy& proxy) { return proxy.Contains(address); });
}

// The client behind a chain of proxies, from the trusted peer on: X-Forwarded-For is read from its
// end, each trusted hop passing on to the address before it; the first address not trusted is the
// client. An entry that is not an address ends the walk at the last hop known.
std::string ClientBehind(const httplib::Request& request, std::string client,
                         const std::vector<TrustedProxy>& proxies) {
    auto chain = HeaderList(request, "X-Forwarded-For");
    bool trusted = true;
    for (auto it = chain.rbegin(); it != chain.rend() && trusted; ++it) {
        if (!NumericAddress(*it)) {
            break;
        }
        client = *it;
        trusted = IsTrusted(client, proxies);
    }
    return client;
}

}  // namespace

std::optional<TrustedProxy> TrustedProxy::Parse(std::string_view text) {
    TrustedProxy proxy;
    proxy.text_ = std::string(text);
    std::string_view address = text;
    std::optional<int> bits;
    if (size_t slash = text.find('/'); slash != std::string_view::npos) {
        std::string number(text.substr(slash + 1));
        if (number.empty() || number.size() > 3 ||
            !std::all_of(number.begin(), number.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        bits = std::stoi(number);
        address = text.substr(0, slash);
    }
    auto numeric = NumericAddress(address);
    if (!numeric) {
        return std::nullopt;
    }
    proxy.ipv6_ = numeric->first;
    proxy.bytes_ = numeric->second;
    int width = proxy.ipv6_ ? 128 : 32;
    proxy.prefixBits_ = bits.value_or(width);
    if (proxy.prefixBits_ > width) {
        return std::nullopt;
    }
    return proxy;
}

bool TrustedProxy::Contains(std::string_view address) const {
    auto numeric = NumericAddress(address);
    if (!numeric || numeric->first != ipv6_) {
        return false;
    }
    const auto& bytes = numeric->second;
    int whole = prefixBits_ / 8;
    if (!std::equal(bytes.begin(), bytes.begin() + whole, bytes_.begin())) {
        return false;
    }
    int rest = prefixBits_ % 8;
    unsigned char mask = static_cast<unsigned char>(0xff << (8 - rest));
    return rest == 0 || (bytes[whole] & mask) == (bytes_[whole] & mask);
}

ForwardedRequest ResolveForwarded(const httplib::Request& request,
                                  const std::vector<TrustedProxy>& proxies, bool tls,
                                  bool overLocalSocket) {
    std::string peer = overLocalSocket ? kLocalSocketPeer : request.remote_addr;
    ForwardedRequest view{peer, tls, false, request.get_header_value("Host")};
    if (!overLocalSocket && !IsTrusted(peer, proxies)) {
        return view;
    }
    view.client = ClientBehind(request, peer, proxies);
    // The proxy nearest to this host speaks last.
    auto schemes = HeaderList(request, "X-Forwarded-Proto");
    if (!schemes.empty() && (schemes.back() == "https" || schemes.back() == "http")) {
        view.https = schemes.back() == "https";
        view.forwardedScheme = true;
    }
    // The first proxy saw the browser's own Host.
    auto hosts = HeaderList(request, "X-Forwarded-Host");
    if (!hosts.empty() && IsHostValue(hosts.front())) {
        view.host = hosts.front();
    }
    return view;
}

}  // namespace vantrel::host
