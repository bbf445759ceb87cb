#pragma once
// What the host does at start about the operations an earlier run began and never ended (a crash,
// a kill -9): each is said in the service's log and closed in the audit log, so that it is said
// once, and the temporary files it left beside its archive or in its target folder are removed
// with the rights of the account that ran it. No operation leaves part of a file under a final
// name, so nothing else is left to clear.

#include <filesystem>

#include "host/LogWriter.h"

namespace vantrel::host {

// Reads the end of the audit log at auditLog and appends to audit. switchesRights: the host runs
// each account's operations with that account's file rights (a root host with sign-in).
void CloseUnfinishedOperations(const std::filesystem::path& auditLog, LogWriter& audit,
                               bool switchesRights);

}  // namespace vantrel::host
