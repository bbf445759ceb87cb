#include "host/CutOffOperations.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>

#include "host/AuditLog.h"
#include "host/JournalLines.h"
#include "host/ThreadFileCredentials.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/TemporaryFiles.h"

namespace vantrel::host {

namespace fs = std::filesystem;

namespace {

// Removes the temporary files of a dead process from the folder of path (a file's folder, or
// the folder itself); how many.
int RemoveTemporariesBeside(const std::string& path, bool isFolder) {
    platform::ConfinedPath folder;
    std::string last;
    platform::PathStatus opened =
        isFolder ? platform::ConfinedPath::Open(path, platform::PathIntent::Folder, folder)
                 : platform::OpenFolderOf(path, folder, last);
    return opened == platform::PathStatus::Ok ? platform::RemoveDeadTemporaries(folder.Fd()) : 0;
}

}  // namespace

void CloseUnfinishedOperations(const fs::path& auditLog, LogWriter& audit, bool switchesRights) {
    constexpr std::streamoff kTail = 16 << 20;  // operations start minutes before they end
    std::ifstream log(auditLog);
    log.seekg(0, std::ios::end);
    std::streamoff size = log.tellg();
    log.seekg(size > kTail ? size - kTail : 0);
    for (const UnfinishedOperation& cut : UnfinishedOperations(log)) {
        if (cut.pid == ::getpid() || platform::ProcessMayHaveWritten(cut.pid, cut.startedAt)) {
            continue;  // another host's, still at work
        }
        std::optional<ThreadFileCredentials> rights;
        if (switchesRights && cut.uid && cut.gid) {
            rights.emplace(FileCredentials{*cut.uid, *cut.gid, {*cut.gid}});
        }
        int removed = 0;
        if (!rights || rights->Switched()) {
            bool extraction = !cut.target.empty();
            removed = RemoveTemporariesBeside(extraction ? cut.target : cut.archive, extraction);
        }
        // An upload is on record with its folder alone.
        std::string operation = cut.letter.empty()
                                    ? "the upload"
                                    : "the operation " + cut.letter + " on " + cut.archive;
        std::string what = operation + (cut.target.empty() ? "" : " into " + cut.target) +
                           " started " + cut.started + " by " +
                           (cut.account.empty() ? "nobody" : cut.account) +
                           " never ended: the host running it was cut off";
        std::string left = std::to_string(removed) + " temporary file(s) it left were removed";
        Say(Priority::Warning, "vantrel-host: " + what + "; " + left + ".");
        audit.Append(
            UnfinishedAuditLine(std::chrono::system_clock::now(), cut,
                                "Never ended: the host running it was cut off; " + left + "."));
    }
}

}  // namespace vantrel::host
