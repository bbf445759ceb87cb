#pragma once
// What the host says on standard output and standard error. Under systemd, where the stream is the
// journal (JOURNAL_STREAM names its device and inode), each line begins with its priority as
// sd-daemon(3) spells it ("<3>"), so that "journalctl -p err" tells errors from notices; anywhere
// else the lines stay as they are.

#include <string>
#include <string_view>

namespace vantrel::host {

enum class Priority { Error, Warning, Notice, Info };

// The prefix of a line written to fd: "<3>" for an error and so on when fd is the journal's
// stream, else "".
std::string_view PriorityPrefix(int fd, Priority priority);

// Each line of text with the prefix for fd.
std::string WithPriority(int fd, Priority priority, std::string_view text);

// Says text (one line or more, the last line break added): errors and warnings on standard error,
// notices and information on standard output, at once and flushed.
void Say(Priority priority, std::string_view text);

}  // namespace vantrel::host
