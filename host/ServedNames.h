#pragma once
// The names the host answers to: its listen address (not a Unix socket's path), "localhost", the
// address a connection arrived at, and the names given with --server-name. A request for any other
// name is refused before a route runs, so a page of another site whose name has been pointed at
// this host's address (DNS rebinding) never reaches the application.

#include <httplib.h>

#include <string_view>

#include "host/HostOptions.h"

namespace vantrel::host {

// Whether the request names the host by a name it serves, in its one Host header and in a trusted
// proxy's X-Forwarded-Host. Names compare without regard to letter case, port or a final dot.
bool AnswersTo(const httplib::Request& request, const HostOptions& options);

// A value --server-name takes: a DNS name or an IP address (IPv6 with or without brackets),
// without port.
bool IsServerNameValue(std::string_view name);

}  // namespace vantrel::host
