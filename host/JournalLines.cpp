#include "host/JournalLines.h"

#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace vantrel::host {

namespace {

// JOURNAL_STREAM is "DEVICE:INODE" of the stream systemd connected to the journal; a stream the
// host's own caller redirected elsewhere keeps its lines plain.
bool IsJournalStream(int fd) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat info {};
    if (!stream || ::fstat(fd, &info) != 0) {
        return false;
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) == stream;
}

}  // namespace

std::string_view PriorityPrefix(int fd, Priority priority) {
    if (!IsJournalStream(fd)) {
        return "";
    }
    switch (priority) {
        case Priority::Error:
            return SD_ERR;
        case Priority::Warning:
            return SD_WARNING;
        case Priority::Notice:
            return SD_NOTICE;
        case Priority::Info:
            break;
    }
    return SD_INFO;
}

std::string WithPriority(int fd, Priority priority, std::string_view text) {
    std::string_view prefix = PriorityPrefix(fd, priority);
    std::string lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        lines.append(prefix).append(text.substr(start, end - start)).append("\n");
        start = end + 1;
    }
    return lines;
}

void Say(Priority priority, std::string_view text) {
    bool problem = priority == Priority::Error || priority == Priority::Warning;
    std::ostream& stream = problem ? std::cerr : std::cout;
    stream << WithPriority(problem ? STDERR_FILENO : STDOUT_FILENO, priority, text) << std::flush;
}

}  // namespace vantrel::host
