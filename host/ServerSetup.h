#pragma once
// The HTTP server the host serves with, set up from its options: plain or TLS with the host's TLS
// profile, the host's own connection loop (CheckedServer), keep-alive, the headers every answer
// carries, the names it answers to, error pages, the access log's line for every request, and the
// routes that hand each request to the host; and its binding to its address or Unix socket.

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

#include "host/CheckedServer.h"
#include "host/HostOptions.h"
#include "host/LogWriter.h"

namespace vantrel::host {

// read: the body's reader of an upload, whose body the host streams rather than reads whole;
// every other request arrives with its body read.
using RouteRequest =
    std::function<void(const httplib::Request& request, httplib::Response& response,
                       const httplib::ContentReader* read)>;

struct ServerHooks {
    LogWriter* accessLog = nullptr;
    BodyLimits bodyLimits;
    std::string uploadPath;
    RouteRequest route;
};

// The server, ready to bind; it reads options as they are whenever it answers, so they must live as
// long as it does. Null with the reason when the certificate and key cannot be used.
std::unique_ptr<httplib::Server> MakeServer(const HostOptions& options, ServerHooks hooks,
                                            std::string& error);

// Binds the listening address (port 0: any free port, then written into options) or the Unix
// socket; false when it cannot.
bool BindServer(httplib::Server& server, HostOptions& options);

}  // namespace vantrel::host
