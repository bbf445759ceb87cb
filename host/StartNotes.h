#pragma once
// What the host says as it starts: where it serves, who may use it and with whose file rights,
// the names it answers to and where its audit log is.

#include <string>
#include <vector>

#include "host/HostOptions.h"

namespace vantrel::host {

// "http://127.0.0.1:8080/vantrel/vantrel.asp", or "unix:PATH (PAGE)" on a Unix socket.
std::string ServedAddress(const HostOptions& options);

// switchesFileRights: each signed-in user works with their own account's file rights.
std::vector<std::string> StartNotes(const HostOptions& options, bool switchesFileRights);

}  // namespace vantrel::host
