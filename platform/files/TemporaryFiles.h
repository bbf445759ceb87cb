#pragma once
// The zip library's temporary files: a new archive written beside the old one until it takes the
// old one's place, a finished extracted file on its way to its name. Each is named after the
// process writing it, ".lsz-<pid>-<n>.tmp", so that whoever meets one later can tell whether its
// writer may still be at work. Those whose writer has died (a crash, a kill) are removed by the
// next call that works in their folder, and by the host at start in the folders of the operations
// that never ended; a file whose writer may live is never touched.

#include <sys/types.h>

#include <ctime>
#include <string>

namespace vantrel::platform {

// A new name for a temporary file of this process.
std::string TemporaryFileName();

// False only when no process with the id pid exists, or the one that does started after time
// (so it cannot have written a file changed then). A start that cannot be read counts as alive.
bool ProcessMayHaveWritten(pid_t pid, std::time_t time);

// Removes the temporary files of dead writers from the folder open at folderFd (regular files so
// named, never followed through a link); returns how many it removed.
int RemoveDeadTemporaries(int folderFd);

}  // namespace vantrel::platform
