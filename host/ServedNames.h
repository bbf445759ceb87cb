#pragma once
// The names the host answers to: its listen address, "localhost", the address a connection
// arrived at, and the names given with --server-name. A request for any other name is refused
// before a route runs, so a page of another site whose name has been pointed at this host's
// address (DNS rebinding) never reaches the application.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::host {

// host: a Host value, with or without its port ("example.org:8443", "[::1]:8080");
// localAddress: the address the connection arrived at. Names compare without regard to letter
// case or a final dot.
bool IsServedName(std::string_view host, const std::string& listenAddress,
                  const std::vector<std::string>& serverNames, std::string_view localAddress);

// A value --server-name takes: a DNS name or an IP address (IPv6 with or without brackets),
// without port.
bool IsServerNameValue(std::string_view name);

}  // namespace vantrel::host
