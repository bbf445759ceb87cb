#include "host/WebHost.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "component/core/Farbale.h"
#include "host/HelpPage.h"
#include "host/PageRequest.h"
#include "host/StaticFiles.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPageContentType = "text/html; charset=utf-8";
constexpr const char* kTooBusyPage =
    "<HTML><BODY BGCOLOR=\"#C0C0C0\"><FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">"
    "<B>The server is too busy to start another operation now. Please try again in a "
    "moment.</B></FONT></BODY></HTML>\r\n";

bool CreateWindowsFolder(const std::string& windowsPath, fs::path& linux, std::string& error) {
    auto mapped = platform::MapWindowsPath(windowsPath);
    std::error_code ec;
    if (!mapped || (fs::create_directories(*mapped, ec), ec)) {
        error = "cannot create " + windowsPath + (mapped ? " (" + mapped->string() + ")" : "") +
                ": is its drive mapped and writable?";
        return false;
    }
    linux = *mapped;
    return true;
}

void PutHelpPage(const fs::path& webRoot) {
    fs::path help = webRoot / "help.htm";
    if (!fs::exists(help)) {
        std::ofstream(help) << DefaultHelpPage();
    }
}

// Everything one page request needs, kept alive until the page has been streamed.
struct PageRun {
    asp::Request request;
    std::shared_ptr<asp::Session> session;
    asp::Server server;
};

}  // namespace

WebHost::WebHost(HostOptions options)
    : options_(std::move(options)),
      sessions_(options_.debug),
      operations_(std::max(1, options_.threads / 2)) {}

bool WebHost::Prepare(std::string& error) {
    for (const auto& drive : options_.drives.Drives()) {
        std::error_code ec;
        if (drive.type == platform::DriveType::Fixed) {
            fs::create_directories(drive.folder, ec);
        }
    }
    ::setenv(platform::kDrivesVariable, options_.drives.ToSpec().c_str(), 1);
    if (!options_.registry.empty()) {
        ::setenv(registry::kRegistryVariable, fs::absolute(options_.registry).c_str(), 1);
    }
    fs::path temp;
    if (!CreateWindowsFolder(options_.webRoot, webRootFolder_, error) ||
        !CreateWindowsFolder("c:\\temp", temp, error)) {
        return false;
    }
    PutHelpPage(webRootFolder_);
    return true;
}

std::string WebHost::Address() const {
    return "http://" + options_.listenAddress + ":" + std::to_string(options_.listenPort) +
           options_.page;
}

bool WebHost::Bind() {
    int threads = options_.threads;
    server_.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server_.set_payload_max_length(8 * 1024 * 1024);
    server_.set_write_timeout(std::chrono::minutes(5));
    auto route = [this](const httplib::Request& request, httplib::Response& response) {
        Route(request, response);
    };
    server_.Get(".*", route);
    server_.Post(".*", route);
    if (options_.listenPort == 0) {
        options_.listenPort = server_.bind_to_any_port(options_.listenAddress.c_str());
        return options_.listenPort > 0;
    }
    return server_.bind_to_port(options_.listenAddress.c_str(), options_.listenPort);
}

bool WebHost::Run() {
    return server_.listen_after_bind();
}

void WebHost::Route(const httplib::Request& request, httplib::Response& response) {
    if (request.path == options_.page) {
        ServePage(request, response);
    } else if (request.method == "GET" && request.path == "/") {
        response.set_redirect(options_.page);
    } else if (request.method == "GET") {
        ServeStatic(request, response);
    } else {
        response.status = 405;
    }
}

void WebHost::ServePage(const httplib::Request& request, httplib::Response& response) {
    if (!IsSameSitePost(request)) {
        response.status = 403;
        response.set_content("Cross-site requests are refused.\n", "text/plain; charset=utf-8");
        return;
    }
    std::string newSessionId;
    auto session = sessions_.Find(CookieValue(request.get_header_value("Cookie"), kSessionCookie),
                                  newSessionId);
    if (!newSessionId.empty()) {
        response.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + newSessionId +
                                              "; Path=/; HttpOnly; SameSite=Strict");
    }
    response.set_header("Cache-Control", "no-store");
    auto run = std::make_shared<PageRun>(
        PageRun{BuildPageRequest(request, options_.page, HostName(request, options_.listenAddress)),
                session, asp::Server(options_.webRoot)});
    std::shared_ptr<OperationAdmission::Ticket> ticket;
    if (Farbale::IsOperationCall(run->request)) {
        ticket = std::make_shared<OperationAdmission::Ticket>(operations_);
        if (!ticket->Admitted()) {
            response.status = 503;
            response.set_content(kTooBusyPage, kPageContentType);
            return;
        }
    }
    response.set_chunked_content_provider(
        kPageContentType, [run, ticket](size_t, httplib::DataSink& sink) {
            asp::Response pageResponse([&sink](std::string_view text) {
                return sink.is_writable() && sink.write(text.data(), text.size());
            });
            asp::ScriptingContext context{run->request, pageResponse, *run->session, run->server};
            Farbale component;
            component.OnStartPage(context);
            component.ShowPage();
            sink.done();
            return true;
        });
}

void WebHost::ServeStatic(const httplib::Request& request, httplib::Response& response) {
    auto file = ResolveStaticFile(webRootFolder_, request.path);
    std::ifstream in;
    if (file) {
        in.open(*file, std::ios::binary);
    }
    if (!in.is_open()) {
        response.status = 404;
        response.set_content("Not found.\n", "text/plain; charset=utf-8");
        return;
    }
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    response.set_content(body, ContentTypeOf(*file).c_str());
}

}  // namespace vantrel::host
