#include "host/ServerSetup.h"

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "host/AccessLog.h"
#include "host/JournalLines.h"
#include "host/RequestFraming.h"
#include "host/RequestNotes.h"
#include "host/ServedNames.h"
#include "host/TlsProfile.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

constexpr const char* kTextContentType = "text/plain; charset=utf-8";

// The server with the host's own connection loop set up.
template <typename Base>
std::unique_ptr<httplib::Server> Checked(std::unique_ptr<CheckedServer<Base>> server,
                                         RefusalListener refused, BodyLimits limits) {
    server->Configure(std::move(refused), std::move(limits));
    return server;
}

std::unique_ptr<httplib::Server> MakeTlsServer(const HostOptions& options, RefusalListener refused,
                                               BodyLimits limits, std::string& error) {
    auto server = std::make_unique<CheckedServer<httplib::SSLServer>>(
        options.tlsCertificate.c_str(), options.tlsKey.c_str());
    if (!server->is_valid()) {
        error = "cannot use the certificate " + options.tlsCertificate.string() + " with the key " +
                options.tlsKey.string();
        return nullptr;
    }
    if (!ApplyTlsProfile(server->ssl_context())) {
        error = "the TLS library refuses the host's TLS settings";
        return nullptr;
    }
    return Checked(std::move(server), std::move(refused), std::move(limits));
}

void SetConnectionRules(httplib::Server& server, const HostOptions& options) {
    // A browser keeps one connection for the frameset's pages and every later click; the
    // library's default of five requests a connection would open a new one every few clicks.
    server.set_keep_alive_max_count(1000);
    server.set_payload_max_length(std::max<size_t>(kMaxFormBytes, options.maxUploadBytes));
    server.set_write_timeout(std::chrono::minutes(5));
    server.set_default_headers(
        {{"X-Content-Type-Options", "nosniff"}, {"X-Frame-Options", "SAMEORIGIN"}});
}

// A request for a name the host does not serve is refused before any route; an error without a
// body of its own gets its text.
void SetRefusals(httplib::Server& server, const HostOptions& options) {
    server.set_pre_routing_handler(
        [&options](const httplib::Request& request, httplib::Response& response) {
            ThisRequestNotes() = {};
            if (AnswersTo(request, options)) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.status = 421;
            response.set_content(ErrorText(421), kTextContentType);
            return httplib::Server::HandlerResponse::Handled;
        });
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty() && !response.content_provider_) {
                response.set_content(ErrorText(response.status), kTextContentType);
            }
            return httplib::Server::HandlerResponse::Handled;
        }));
}

void LogEachRequest(httplib::Server& server, LogWriter* accessLog) {
    server.set_logger(
        [accessLog](const httplib::Request& request, const httplib::Response& response) {
            RequestNotes& notes = ThisRequestNotes();
            uint64_t bytes = notes.streamedBytes.value_or(response.body.size());
            accessLog->Append(
                CommonLogLine({notes.client.empty() ? request.remote_addr : notes.client,
                               notes.account, std::chrono::system_clock::now(),
                               request.method + " " + request.target + " " + request.version,
                               response.status, bytes}));
            notes = {};
        });
}

// The host has read the body already, within its limit (RequestReader); the library's own limit
// on forms is far below what a large selection of files takes.
void RoutePost(const ServerHooks& hooks, const httplib::Request& request,
               httplib::Response& response, const httplib::ContentReader& read) {
    if (request.path == hooks.uploadPath) {
        hooks.route(request, response, &read);
        return;
    }
    if (request.is_multipart_form_data()) {
        // Read and dropped, so that nothing of it is taken for the next request.
        read([](const httplib::MultipartFormData&) { return true; },
             [](const char*, size_t) { return true; });
        response.status = 415;
        response.set_header("Connection", "close");
        response.set_content("The page takes its forms URL-encoded, not as multipart data.\n",
                             kTextContentType);
        return;
    }
    httplib::Request whole = request;
    read([&whole](const char* data, size_t size) {
        whole.body.append(data, size);
        return true;
    });
    hooks.route(whole, response, nullptr);
}

void AddRoutes(httplib::Server& server, std::shared_ptr<const ServerHooks> hooks) {
    server.Get(".*", [hooks](const httplib::Request& request, httplib::Response& response) {
        hooks->route(request, response, nullptr);
    });
    server.Post(".*", [hooks](const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader& read) {
        RoutePost(*hooks, request, response, read);
    });
}

// A socket left by an earlier run is replaced; anything else at the path is not. The socket is
// closed to everyone but root and the group's members (the proxy's account) before it can take a
// connection: connecting needs write permission on it.
bool BindSocket(httplib::Server& server, const HostOptions& options) {
    const fs::path& path = options.listenSocket;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode)) {
        ::unlink(path.c_str());
    }
    gid_t group = ::getegid();
    if (!options.socketGroup.empty()) {
        struct group* found = ::getgrnam(options.socketGroup.c_str());
        if (!found) {
            Say(Priority::Error, "vantrel-host: there is no group " + options.socketGroup);
            return false;
        }
        group = found->gr_gid;
    }
    // Made 0600 (the host is starting: no other thread makes files now), so nobody else connects
    // before it is given to the group.
    mode_t mask = ::umask(0177);
    server.set_address_family(AF_UNIX);
    // The port means nothing to a Unix socket; 0 would make the library look up which it got.
    bool bound = server.bind_to_port(path.c_str(), 80);
    ::umask(mask);
    return bound && ::chown(path.c_str(), ::geteuid(), group) == 0 &&
           ::chmod(path.c_str(), 0660) == 0;
}

}  // namespace

std::unique_ptr<httplib::Server> MakeServer(const HostOptions& options, ServerHooks hooks,
                                            std::string& error) {
    LogWriter* accessLog = hooks.accessLog;
    RefusalListener logRefusal = [accessLog](auto& client, auto& line, int status) {
        accessLog->Append(CommonLogLine(
            {client, "", std::chrono::system_clock::now(), line, status, std::nullopt}));
    };
    std::unique_ptr<httplib::Server> server =
        options.Tls() ? MakeTlsServer(options, logRefusal, hooks.bodyLimits, error)
                      : Checked(std::make_unique<CheckedServer<httplib::Server>>(), logRefusal,
                                hooks.bodyLimits);
    if (!server) {
        return nullptr;
    }
    SetConnectionRules(*server, options);
    SetRefusals(*server, options);
    LogEachRequest(*server, accessLog);
    AddRoutes(*server, std::make_shared<const ServerHooks>(std::move(hooks)));
    return server;
}

bool BindServer(httplib::Server& server, HostOptions& options) {
    if (options.OnSocket()) {
        return BindSocket(server, options);
    }
    if (options.listenPort == 0) {
        options.listenPort = server.bind_to_any_port(options.listenAddress.c_str());
        return options.listenPort > 0;
    }
    return server.bind_to_port(options.listenAddress.c_str(), options.listenPort);
}

}  // namespace vantrel::host
