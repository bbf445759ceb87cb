#pragma once
// The embedded web host: serves the application page by running the component once per request,
// streaming what it writes, and serves the web root's static files (the help page and the like).

#include <httplib.h>

#include <filesystem>
#include <string>

#include "host/HostOptions.h"
#include "host/OperationAdmission.h"
#include "host/SessionStore.h"

namespace vantrel::host {

class WebHost {
  public:
    explicit WebHost(HostOptions options);

    // Publishes the drive map and registry root to the process, creates the web root, c:\temp and
    // the help page when missing. False with a reason when the host cannot work.
    bool Prepare(std::string& error);
    // Binds the listening address (port 0: any free port); false when it cannot.
    bool Bind();
    // Serves until the process ends.
    bool Run();
    std::string Address() const;

  private:
    void ServePage(const httplib::Request& request, httplib::Response& response);
    void ServeStatic(const httplib::Request& request, httplib::Response& response);
    void Route(const httplib::Request& request, httplib::Response& response);

    HostOptions options_;
    std::filesystem::path webRootFolder_;
    SessionStore sessions_;
    OperationAdmission operations_;
    httplib::Server server_;
};

}  // namespace vantrel::host
