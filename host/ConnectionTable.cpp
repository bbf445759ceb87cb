#include "host/ConnectionTable.h"

#include <sys/socket.h>

#include <algorithm>

namespace vantrel::host {

std::unique_ptr<ConnectionTable::Place> ConnectionTable::Enter(int socket,
                                                               const std::string& address) {
    std::lock_guard lock(mutex_);
    if (!MakeRoom(address)) {
        return nullptr;
    }
    entries_.push_back({socket, address, false, false, std::chrono::steady_clock::now()});
    return std::make_unique<Place>(*this, std::prev(entries_.end()));
}

bool ConnectionTable::MakeRoom(const std::string& address) {
    size_t total = 0;
    size_t ofAddress = 0;
    for (const Entry& entry : entries_) {
        if (!entry.closing) {
            ++total;
            ofAddress += entry.address == address;
        }
    }
    const std::string* among = nullptr;
    if (ofAddress >= limits_.perAddress) {
        among = &address;
    } else if (total < limits_.total) {
        return true;
    }
    auto victim = LongestWaiting(among);
    if (victim == entries_.end()) {
        return false;
    }
    // Its thread, waiting in a read, sees the end of the connection and leaves; the socket is
    // still open, as a place leaves the table before its socket is closed.
    victim->closing = true;
    ::shutdown(victim->socket, SHUT_RDWR);
    return true;
}

ConnectionTable::Entries::iterator ConnectionTable::LongestWaiting(const std::string* address) {
    auto found = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (!it->running && !it->closing && (!address || it->address == *address) &&
            (found == entries_.end() || it->waitingSince < found->waitingSince)) {
            found = it;
        }
    }
    return found;
}

ConnectionTable::Place::~Place() {
    std::lock_guard lock(table_.mutex_);
    table_.entries_.erase(entry_);
}

void ConnectionTable::Place::Running() {
    std::lock_guard lock(table_.mutex_);
    entry_->running = true;
}

void ConnectionTable::Place::Waiting() {
    std::lock_guard lock(table_.mutex_);
    entry_->running = false;
    entry_->waitingSince = std::chrono::steady_clock::now();
}

}  // namespace vantrel::host
