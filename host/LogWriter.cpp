#include "host/LogWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel::host {

namespace {

constexpr size_t kMaxQueuedLines = 10000;

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
        return std::unique_ptr<LogWriter>(new LogWriter(STDOUT_FILENO, false));
    }
    int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open the log " + target + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<LogWriter>(new LogWriter(fd, true));
}

LogWriter::LogWriter(int fd, bool ownsFd)
    : fd_(fd), ownsFd_(ownsFd), thread_([this] { WriteLoop(); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    if (ownsFd_) {
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
            queue_.push_back("(" + std::to_string(dropped_) + " log lines dropped: queue full)\n");
            dropped_ = 0;
        }
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

void LogWriter::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty() && stopping_) {
            return;
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
