// vantrel-host: serves the zip-file manager's page on an embedded web server.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "host/WebHost.h"

int main(int argc, char** argv) {
    using namespace vantrel::host;
    std::string error;
    auto options = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << (error.empty() ? "" : "vantrel-host: " + error + "\n") << HostUsage();
        return error.empty() ? 0 : 2;
    }
    WebHost host(*options);
    if (!host.Prepare(error)) {
        std::cerr << "vantrel-host: " << error << "\n";
        return 1;
    }
    if (!host.Bind()) {
        std::cerr << "vantrel-host: cannot listen on " << options->listenAddress << ":"
                  << options->listenPort << "\n";
        return 1;
    }
    std::cout << "Vantrel is serving " << host.Address() << std::endl;
    return host.Run() ? 0 : 1;
}
