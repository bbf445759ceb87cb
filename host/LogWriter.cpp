#include "host/LogWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include "host/JournalLines.h"

namespace vantrel::host {

namespace {

constexpr size_t kMaxQueuedLines = 10000;

int OpenForAppending(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a log that cannot be written is given up on, never the request
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace

std::unique_ptr<LogWriter> LogWriter::Open(const std::string& target, std::string& error) {
    if (target == "-") {
        return std::unique_ptr<LogWriter>(new LogWriter(STDOUT_FILENO, ""));
    }
    int fd = OpenForAppending(target);
    if (fd < 0) {
        error = "cannot open the log " + target + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<LogWriter>(new LogWriter(fd, target));
}

LogWriter::LogWriter(int fd, std::string path)
    : fd_(fd),
      path_(std::move(path)),
      linePrefix_(path_.empty() ? PriorityPrefix(fd, Priority::Info) : ""),
      thread_([this] { WriteLoop(); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    if (!path_.empty()) {
        ::close(fd_);
    }
}

void LogWriter::Append(std::string line) noexcept {
    try {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kMaxQueuedLines) {
            ++dropped_;
            return;
        }
        if (dropped_ > 0) {
            queue_.push_back(linePrefix_ + "(" + std::to_string(dropped_) +
                             " log lines dropped: queue full)\n");
            dropped_ = 0;
        }
        line.insert(0, linePrefix_);
        line += '\n';
        queue_.push_back(std::move(line));
    } catch (...) {
        return;
    }
    wake_.notify_one();
}

void LogWriter::Flush() {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return queue_.empty() && !writing_; });
}

void LogWriter::Reopen() {
    {
        std::lock_guard lock(mutex_);
        reopen_ = !path_.empty();
    }
    wake_.notify_one();
}

void LogWriter::ReopenNow() {
    int fd = OpenForAppending(path_);
    if (fd < 0) {
        Say(Priority::Error, "vantrel-host: cannot reopen the log " + path_ + ": " +
                                 std::strerror(errno) + "; writing on to the old one");
        return;
    }
    ::close(fd_);
    fd_ = fd;
}

void LogWriter::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || reopen_ || !queue_.empty(); });
        if (reopen_) {
            reopen_ = false;
            lock.unlock();
            ReopenNow();
            lock.lock();
        }
        if (queue_.empty() && stopping_) {
            return;
        }
        if (queue_.empty()) {
            continue;
        }
        std::string text;
        while (!queue_.empty()) {
            text += queue_.front();
            queue_.pop_front();
        }
        writing_ = true;
        lock.unlock();
        WriteAll(fd_, text);
        lock.lock();
        writing_ = false;
        written_.notify_all();
    }
}

}  // namespace vantrel::host
