#include "platform/ziplib/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace vantrel::ziplib {

namespace {

// The mappings being read now, for the SIGBUS handler: it may touch nothing but these atomics.
struct Guard {
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> start{0};  // 0 while the slot is being filled or emptied
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> vanished{false};
};
constexpr int kGuards = 256;
Guard g_guards[kGuards];
struct sigaction g_previous {};

Guard* GuardHolding(uintptr_t address) {
    for (Guard& guard : g_guards) {
        uintptr_t start = guard.start.load(std::memory_order_acquire);
        if (start != 0 && address >= start && address < guard.end.load(std::memory_order_acquire)) {
            return &guard;
        }
    }
    return nullptr;
}

// Puts zeros where the file's pages vanished, from the faulting page to the mapping's end, so
// that the read resumes; the reader learns of it through Vanished().
void OnBusError(int signal, siginfo_t* info, void* context) {
    auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (Guard* guard = GuardHolding(address)) {
        auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        uintptr_t from = address & ~(page - 1);
        uintptr_t to = guard->end.load(std::memory_order_acquire);
        void* zeros = ::mmap(reinterpret_cast<void*>(from), to - from, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            guard->vanished.store(true, std::memory_order_release);
            return;
        }
    }
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        // The fault happens again on return and ends the process, as it would have.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &fallback, nullptr);
    }
}

void CatchBusErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

// A free slot for the mapping, or -1 when every slot is in use.
int TakeGuard(const uint8_t* data, uint64_t size) {
    for (int i = 0; i < kGuards; ++i) {
        bool expected = false;
        if (g_guards[i].taken.compare_exchange_strong(expected, true)) {
            auto start = reinterpret_cast<uintptr_t>(data);
            g_guards[i].vanished.store(false);
            g_guards[i].end.store(start + size, std::memory_order_release);
            g_guards[i].start.store(start, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void ReleaseGuard(int slot) {
    g_guards[slot].start.store(0, std::memory_order_release);
    g_guards[slot].end.store(0, std::memory_order_release);
    g_guards[slot].taken.store(false);
}

}  // namespace

MappedFile::MappedFile(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    if (size_ == 0) {
        open_ = true;
        return;
    }
    CatchBusErrors();
    void* mapped = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        return;
    }
    data_ = static_cast<const uint8_t*>(mapped);
    guard_ = TakeGuard(data_, size_);
    open_ = guard_ >= 0;  // unguarded, a shortened file could end the process: not read at all
}

MappedFile::~MappedFile() {
    if (guard_ >= 0) {
        ReleaseGuard(guard_);
    }
    if (data_) {
        munmap(const_cast<uint8_t*>(data_), size_);
    }
}

bool MappedFile::Vanished() const {
    return guard_ >= 0 && g_guards[guard_].vanished.load(std::memory_order_acquire);
}

}  // namespace vantrel::ziplib
