#include "platform/files/FreeSpaceReserve.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace vantrel::platform {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<ReserveSetting> ParsePercent(std::string_view number) {
    size_t point = number.find('.');
    bool wellFormed =
        !number.empty() && IsDigit(number.front()) &&
        std::all_of(number.begin(), number.end(), [](char c) { return IsDigit(c) || c == '.'; }) &&
        (point == std::string_view::npos ||
         (point + 1 < number.size() && number.find('.', point + 1) == number.npos));
    double percent = 0;
    if (!wellFormed ||
        std::from_chars(number.data(), number.data() + number.size(), percent).ec != std::errc() ||
        percent > 100) {
        return std::nullopt;
    }
    return ReserveSetting{std::nullopt, percent / 100};
}

std::optional<ReserveSetting> ParseBytes(std::string_view text) {
    int shift = 0;
    if (!text.empty() && !IsDigit(text.back())) {
        static constexpr std::string_view kSuffixes = "KMGT";
        size_t at = kSuffixes.find(static_cast<char>(text.back() & ~0x20));
        if (at == kSuffixes.npos) {
            return std::nullopt;
        }
        shift = 10 * static_cast<int>(at + 1);
        text.remove_suffix(1);
    }
    uint64_t value = 0;
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit) ||
        std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc() ||
        value > (UINT64_MAX >> shift)) {
        return std::nullopt;
    }
    return ReserveSetting{value << shift, std::nullopt};
}

}  // namespace

uint64_t ReserveSetting::BytesFor(uint64_t fileSystemSize) const {
    uint64_t reserve = bytes.value_or(UINT64_MAX);
    if (fraction) {
        reserve = std::min(reserve, static_cast<uint64_t>(*fraction * fileSystemSize));
    }
    return bytes || fraction ? reserve : 0;
}

std::optional<ReserveSetting> ParseReserve(std::string_view text) {
    if (!text.empty() && text.back() == '%') {
        return ParsePercent(text.substr(0, text.size() - 1));
    }
    return ParseBytes(text);
}

ReserveSetting ReserveFromEnvironment() {
    const char* value = std::getenv(kMinFreeSpaceVariable);
    auto parsed = value ? ParseReserve(value) : std::nullopt;
    return parsed.value_or(ReserveSetting{});
}

std::optional<FreeSpace> MeasureFreeSpace(int fd) {
    struct statvfs info {};
    if (fstatvfs(fd, &info) != 0) {
        return std::nullopt;
    }
    uint64_t block = info.f_frsize ? info.f_frsize : info.f_bsize;
    return FreeSpace{static_cast<uint64_t>(info.f_bavail) * block,
                     static_cast<uint64_t>(info.f_blocks) * block, std::max<uint64_t>(block, 1)};
}

FreeSpaceReserve::FreeSpaceReserve(int fd, ReserveSetting setting, Probe probe,
                                   uint64_t remeasureAfter)
    : fd_(fd), setting_(setting), probe_(std::move(probe)), remeasureAfter_(remeasureAfter) {}

bool FreeSpaceReserve::Admit(uint64_t bytes) {
    if (!space_ && !Measure()) {
        return false;
    }
    uint64_t block = std::max<uint64_t>(space_->blockSize, 1);
    uint64_t cost = std::max<uint64_t>(bytes / block + (bytes % block != 0), 1) * block;
    if (sinceMeasure_ + cost > remeasureAfter_ && !Measure()) {
        return false;
    }
    if (!Fits(cost)) {
        // The count runs ahead of the file system (blocks shared, space freed meanwhile): only a
        // fresh measure may refuse.
        if (sinceMeasure_ == 0 || !Measure() || !Fits(cost)) {
            return false;
        }
    }
    sinceMeasure_ += cost;
    return true;
}

bool FreeSpaceReserve::Measure() {
    space_ = probe_(fd_);
    sinceMeasure_ = 0;
    return space_.has_value();
}

bool FreeSpaceReserve::Fits(uint64_t cost) const {
    uint64_t reserve = setting_.BytesFor(space_->size);
    uint64_t needed = reserve;
    for (uint64_t part : {sinceMeasure_, cost}) {
        needed = needed > UINT64_MAX - part ? UINT64_MAX : needed + part;
    }
    return space_->available >= needed;
}

}  // namespace vantrel::platform
