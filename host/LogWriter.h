#pragma once
// A log file (or standard output) written by a thread of its own. Requests only queue their
// lines: a slow or full disk never holds up a page, and a failed write never fails one.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vantrel::host {

class LogWriter {
  public:
    // "-" is standard output; a file is opened for appending and created readable by its owner
    // only. nullptr with the reason when the file cannot be opened.
    static std::unique_ptr<LogWriter> Open(const std::string& target, std::string& error);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues one line (the line break is added). When the queue is full the line is dropped; the
    // next line written says how many were.
    void Append(std::string line) noexcept;
    // Waits until every queued line has been written.
    void Flush();
    // Has the file opened anew by its name before the next write (after logrotate has moved it
    // away); standard output stays as it is. A file that cannot be opened again keeps the old one,
    // and says so on standard error.
    void Reopen();

  private:
    LogWriter(int fd, std::string path);
    void WriteLoop();
    void ReopenNow();

    int fd_;                  // used and replaced only by the writing thread once it runs
    const std::string path_;  // empty: standard output, never reopened
    // The priority of every line, when standard output is the journal (host/JournalLines.h).
    const std::string linePrefix_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::deque<std::string> queue_;
    size_t dropped_ = 0;
    bool writing_ = false;
    bool reopen_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantrel::host
