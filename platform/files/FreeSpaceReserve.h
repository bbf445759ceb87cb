#pragma once
// The free space that extraction leaves on the target's file system: writing stops before the
// space free to ordinary users would fall below a reserve, so that a small archive holding a
// gigabyte of zeros cannot fill the server's disk. The reserve is 1 GiB or 5% of the file
// system's size, whichever is smaller, unless VANTREL_MIN_FREE_SPACE (which the host sets from
// its option --min-free-space) gives another.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace vantrel::platform {

inline constexpr const char* kMinFreeSpaceVariable = "VANTREL_MIN_FREE_SPACE";

// How much to keep free: the smaller of the limits that are set, nothing when neither is.
struct ReserveSetting {
    std::optional<uint64_t> bytes = uint64_t{1} << 30;
    std::optional<double> fraction = 0.05;  // of the file system's size

    uint64_t BytesFor(uint64_t fileSystemSize) const;
};

// Reads a reserve: whole bytes ("1048576"), or with a binary suffix K, M, G or T in either case
// ("512M" is 512 MiB), or a percentage of the file system's size ("5%", "0.5%", at most 100%).
// "0" (or "0%") keeps no reserve: extraction may then fill the file system, and stops only when
// a write fails. nullopt for anything else: empty text, blanks, signs, other suffixes, overflow.
std::optional<ReserveSetting> ParseReserve(std::string_view text);

// The reserve VANTREL_MIN_FREE_SPACE gives; the default when it is unset or cannot be read (the
// host refuses such an option before it starts, so this only guards against a hand-set value).
ReserveSetting ReserveFromEnvironment();

struct FreeSpace {
    uint64_t available = 0;  // free to unprivileged users
    uint64_t size = 0;       // of the whole file system
    uint64_t blockSize = 1;
};

// The file system of fd, by fstatvfs; nullopt when it cannot be measured.
std::optional<FreeSpace> MeasureFreeSpace(int fd);

class FreeSpaceReserve {
  public:
    using Probe = std::function<std::optional<FreeSpace>(int fd)>;
    static constexpr uint64_t kRemeasureAfter = uint64_t{4} << 20;

    // fd is the folder being written into; the caller keeps it open while this object is used.
    // The probe stands in for fstatvfs in tests.
    explicit FreeSpaceReserve(int fd, ReserveSetting setting = ReserveFromEnvironment(),
                              Probe probe = MeasureFreeSpace,
                              uint64_t remeasureAfter = kRemeasureAfter);

    // Whether bytes more may be written; when they may, they count as written. Each call counts
    // whole blocks, at least one, so that many small files (or a call for a new folder with 0)
    // are not undercounted. The file system is measured again once remeasureAfter bytes have been
    // counted since the last measure, and before any refusal; so what other writers take
    // is seen within that many bytes. False when the file system cannot be measured.
    bool Admit(uint64_t bytes);

  private:
    bool Measure();
    bool Fits(uint64_t cost) const;

    int fd_;
    ReserveSetting setting_;
    Probe probe_;
    uint64_t remeasureAfter_;
    std::optional<FreeSpace> space_;
    uint64_t sinceMeasure_ = 0;
};

}  // namespace vantrel::platform
