#pragma once
// The host's open connections, by client address and by what each is doing, so that slow or idle
// clients cannot crowd out the others. The host keeps at most Limits::total connections, and at
// most Limits::perAddress of one address. A new connection beyond either limit makes room by
// closing the one that has waited longest (for its request, or idle between two) of that address,
// or of the whole host; a connection running a request is never closed for another. Only when
// all of them are running requests is the new connection turned away. Behind a proxy every
// browser shares the proxy's address: closing the longest waiting connection rather than turning
// the new one away keeps slow clients from locking out the others.

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace vantrel::host {

class ConnectionTable {
  public:
    struct Limits {
        size_t total = 512;
        size_t perAddress = 128;
    };
    class Place;

    explicit ConnectionTable(Limits limits) : limits_(limits) {}
    // Takes in a new connection, waiting for its first request; nullptr when there is no room.
    std::unique_ptr<Place> Enter(int socket, const std::string& address);

  private:
    struct Entry {
        int socket;
        std::string address;
        bool running = false;
        bool closing = false;  // closed to make room; its thread is on its way out
        std::chrono::steady_clock::time_point waitingSince;
    };
    using Entries = std::list<Entry>;

    bool MakeRoom(const std::string& address);
    Entries::iterator LongestWaiting(const std::string* address);

    const Limits limits_;
    std::mutex mutex_;
    Entries entries_;
};

// One connection's place in the table, held by the thread that serves it; it leaves the table
// when destroyed, which must be before the socket is closed.
class ConnectionTable::Place {
  public:
    Place(ConnectionTable& table, Entries::iterator entry) : table_(table), entry_(entry) {}
    ~Place();
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;

    void Running();
    // Waiting for the next request (or reading it): the connection may be closed to make room.
    void Waiting();

  private:
    ConnectionTable& table_;
    Entries::iterator entry_;
};

}  // namespace vantrel::host
