#include "platform/ziplib/EntrySpanCheck.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/ziplib/RawZipFormat.h"

namespace vantrel::ziplib {

namespace {

using namespace raw;

constexpr uint64_t kLocalLength = 30;
constexpr uint64_t kCentralLength = 46;
constexpr uint64_t kEndLength = 22;
constexpr uint64_t kLocatorLength = 20;
constexpr uint64_t kZip64EndLength = 56;
constexpr uint64_t kLongestComment = 65535;

// Sums that an archive's fields could make overflow stop at the largest value instead.
uint64_t Add(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// A window over the reader: headers visited in file order cost one read per window, not one
// per header. A pointer it returns is valid until the next call.
class ReadCache {
  public:
    explicit ReadCache(const ArchiveReader& reader) : reader_(reader) {}

    // length bytes at offset, or nullptr when they are not all in the file.
    const uint8_t* At(uint64_t offset, uint64_t length) {
        if (offset >= start_ && offset - start_ <= filled_ &&
            length <= filled_ - (offset - start_)) {
            return window_.data() + (offset - start_);
        }
        uint64_t size = reader_.Size();
        if (offset > size || length > size - offset) {
            return nullptr;
        }
        uint64_t fill = std::max(length, std::min(kWindow, size - offset));
        window_.resize(fill);
        filled_ = 0;
        if (!reader_.ReadAt(offset, window_.data(), fill)) {
            return nullptr;
        }
        start_ = offset;
        filled_ = fill;
        return window_.data();
    }

  private:
    static constexpr uint64_t kWindow = 1 << 16;
    const ArchiveReader& reader_;
    std::vector<uint8_t> window_;
    uint64_t start_ = 0;
    uint64_t filled_ = 0;
};

struct Directory {
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t entries = 0;

    bool operator==(const Directory&) const = default;
};

// The central directory the end record at position leads to, zip64 values where a locator stands
// before it (as libzip reads them); nullopt when it leads to nothing that could be a directory.
std::optional<Directory> DirectoryOf(const uint8_t* end, uint64_t position, uint64_t fileSize,
                                     ReadCache& cache) {
    if (Add(position + kEndLength, Get16(end + 20)) > fileSize) {
        return std::nullopt;  // its comment runs past the end of the file
    }
    Directory found{Get32(end + 16), Get32(end + 12), Get16(end + 10)};
    uint64_t recordsStart = position;
    const uint8_t* locator =
        position >= kLocatorLength ? cache.At(position - kLocatorLength, kLocatorLength) : nullptr;
    if (locator && Get32(locator) == kZip64LocatorSignature) {
        uint64_t record = Get64(locator + 8);
        const uint8_t* zip64 = cache.At(record, kZip64EndLength);
        if (!zip64 || Get32(zip64) != kZip64EndSignature ||
            Add(record, kZip64EndLength) > position - kLocatorLength) {
            return std::nullopt;
        }
        found = {Get64(zip64 + 48), Get64(zip64 + 40), Get64(zip64 + 32)};
        recordsStart = record;
    }
    if (found.offset > recordsStart || found.size > recordsStart - found.offset) {
        return std::nullopt;  // the directory would run into its own end records
    }
    if (found.entries == 0) {
        return found.size == 0 ? std::optional(found) : std::nullopt;
    }
    const uint8_t* first = cache.At(found.offset, 4);
    if (found.size / kCentralLength < found.entries || !first ||
        Get32(first) != kCentralSignature) {
        return std::nullopt;
    }
    return found;
}

// Every end record in the last 64 KiB (the longest comment) that leads to a central directory.
// libzip weighs such candidates against each other; a check that picked another one than libzip
// would check entries that are never read, so two that lead to different entries are refused.
// A candidate without entries (an empty archive stored as the last entry) leaves nothing to
// check, and counts only when it is the only one.
std::optional<Directory> FindDirectory(const ArchiveReader& archive, ReadCache& cache,
                                       SpanFault& fault) {
    uint64_t size = archive.Size();
    fault = SpanFault::Unreadable;
    if (size < kEndLength) {
        return std::nullopt;
    }
    uint64_t tailStart =
        size > kEndLength + kLongestComment ? size - kEndLength - kLongestComment : 0;
    std::vector<uint8_t> tail(size - tailStart);
    if (!archive.ReadAt(tailStart, tail.data(), tail.size())) {
        return std::nullopt;
    }
    const uint8_t signature[4] = {0x50, 0x4b, 0x05, 0x06};
    std::optional<Directory> found;
    std::optional<Directory> empty;
    for (size_t at = 0; at + kEndLength <= tail.size(); ++at) {
        auto hit = static_cast<const uint8_t*>(
            memmem(tail.data() + at, tail.size() - at, signature, sizeof signature));
        if (!hit || static_cast<size_t>(hit - tail.data()) + kEndLength > tail.size()) {
            break;
        }
        at = static_cast<size_t>(hit - tail.data());
        auto directory = DirectoryOf(hit, tailStart + at, size, cache);
        if (directory && directory->entries == 0) {
            empty = directory;
        } else if (directory) {
            if (found && !(*found == *directory)) {
                fault = SpanFault::Ambiguous;
                return std::nullopt;
            }
            found = directory;
        }
    }
    found = found ? found : empty;
    if (found) {
        fault = SpanFault::None;
    }
    return found;
}

struct Span {
    uint64_t start = 0;  // the local header, as the central directory states it
    uint64_t end = 0;    // past the data and its descriptor
    uint64_t compressedSize = 0;
    uint64_t index = 0;
    uint64_t record = 0;  // where its central directory record lies
    SpanFault fault = SpanFault::None;
    uint64_t other = 0;
    uint64_t dataStart = 0;
};

// The zip64 values of a central record's extra field replace the 32-bit fields that hold the
// largest value, in their fixed order; false when the field is too short for them.
bool TakeZip64(const uint8_t* extra, uint64_t length, bool size, uint64_t& compressed,
               uint64_t& offset) {
    for (uint64_t i = 0; i + 4 <= length;) {
        uint16_t id = Get16(extra + i);
        uint64_t fieldLength = Get16(extra + i + 2);
        if (i + 4 + fieldLength > length) {
            return true;  // a damaged trailing field; libzip ignores it as well
        }
        if (id == kZip64ExtraId) {
            const uint8_t* field = extra + i + 4;
            uint64_t needed =
                8 * ((size ? 1 : 0) + (compressed == kMax32 ? 1 : 0) + (offset == kMax32 ? 1 : 0));
            if (fieldLength < needed) {
                return false;
            }
            field += size ? 8 : 0;
            if (compressed == kMax32) {
                compressed = Get64(field);
                field += 8;
            }
            if (offset == kMax32) {
                offset = Get64(field);
            }
            return true;
        }
        i += 4 + fieldLength;
    }
    return true;
}

// The spans as the central directory states them; false (with the failing index) when a record
// does not fit in the directory or cannot be read.
bool ReadDirectory(const Directory& directory, ReadCache& cache, std::vector<Span>& spans,
                   uint64_t& failed) {
    spans.reserve(std::min(directory.entries, directory.size / kCentralLength));
    uint64_t position = directory.offset;
    uint64_t directoryEnd = directory.offset + directory.size;
    for (uint64_t i = 0; i < directory.entries; ++i) {
        failed = i;
        const uint8_t* p = position + kCentralLength <= directoryEnd
                               ? cache.At(position, kCentralLength)
                               : nullptr;
        if (!p || Get32(p) != kCentralSignature) {
            return false;
        }
        uint64_t nameLength = Get16(p + 28);
        uint64_t extraLength = Get16(p + 30);
        uint64_t recordLength = kCentralLength + nameLength + extraLength + Get16(p + 32);
        bool sizeIn64 = Get32(p + 24) == kMax32;
        uint64_t compressed = Get32(p + 20);
        uint64_t offset = Get32(p + 42);
        const uint8_t* record =
            position + recordLength <= directoryEnd ? cache.At(position, recordLength) : nullptr;
        if (!record || !TakeZip64(record + kCentralLength + nameLength, extraLength, sizeIn64,
                                  compressed, offset)) {
            return false;
        }
        spans.push_back({offset, 0, compressed, i, position});
        position += recordLength;
    }
    return true;
}

// Whether a local extra field holds the zip64 one, which makes the data descriptor's sizes
// eight bytes wide.
bool HasZip64Extra(const uint8_t* extra, uint64_t length) {
    for (uint64_t i = 0; i + 4 <= length; i += 4 + Get16(extra + i + 2)) {
        if (Get16(extra + i) == kZip64ExtraId) {
            return true;
        }
    }
    return false;
}

// Reads the local header of a span and sets its end, or its fault.
void MeasureSpan(Span& span, const Directory& directory, uint64_t fileSize, ReadCache& cache) {
    if (span.start >= directory.offset) {
        span.fault = SpanFault::IntoDirectory;
        return;
    }
    const uint8_t* header = cache.At(span.start, kLocalLength);
    if (!header || Get32(header) != kLocalSignature) {
        span.fault = SpanFault::BrokenHeader;
        return;
    }
    uint16_t flags = Get16(header + 6);
    uint64_t nameLength = Get16(header + 26);
    uint64_t extraLength = Get16(header + 28);
    uint64_t dataStart = span.start + kLocalLength + nameLength + extraLength;
    if (dataStart > fileSize) {
        span.fault = SpanFault::BrokenHeader;
        return;
    }
    span.dataStart = dataStart;
    uint64_t end = Add(dataStart, span.compressedSize);
    if (flags & kFlagDescriptor) {
        const uint8_t* extra = cache.At(span.start + kLocalLength + nameLength, extraLength);
        uint64_t descriptor = extra && HasZip64Extra(extra, extraLength) ? 20 : 12;
        const uint8_t* signature = end <= directory.offset ? cache.At(end, 4) : nullptr;
        if (signature && Get32(signature) == kDescriptorSignature) {
            descriptor += 4;
        }
        end = Add(end, descriptor);
    }
    span.end = end;
    if (end > directory.offset) {
        span.fault = SpanFault::IntoDirectory;
    }
}

// In file order, a span that starts before an earlier one ends overlaps it.
void FindOverlaps(std::vector<Span>& spans) {
    uint64_t reach = 0;
    const Span* reaching = nullptr;
    for (Span& span : spans) {
        if (span.fault == SpanFault::BrokenHeader) {
            continue;  // its extent is unknown; it is refused already
        }
        if (reaching && span.start < reach && span.fault == SpanFault::None) {
            span.fault = SpanFault::Overlap;
            span.other = reaching->index;
        }
        if (!reaching || span.end > reach) {
            reach = span.end;
            reaching = &span;
        }
    }
}

std::string NameAt(uint64_t record, ReadCache& cache) {
    const uint8_t* p = cache.At(record, kCentralLength);
    if (!p) {
        return {};
    }
    uint64_t length = Get16(p + 28);
    const uint8_t* name = cache.At(record + kCentralLength, length);
    return name ? std::string(reinterpret_cast<const char*>(name), length) : std::string();
}

SpanCheck CheckSpans(const ArchiveReader& archive) {
    SpanCheck check;
    ReadCache cache(archive);
    auto directory = FindDirectory(archive, cache, check.fault);
    if (!directory) {
        return check;
    }
    check.entries = directory->entries;
    std::vector<Span> spans;
    uint64_t failed = 0;
    if (!ReadDirectory(*directory, cache, spans, failed)) {
        check.fault = SpanFault::Unreadable;
        check.index = failed;
        return check;
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return std::tie(a.start, a.index) < std::tie(b.start, b.index);
    });
    for (Span& span : spans) {
        MeasureSpan(span, *directory, archive.Size(), cache);
    }
    FindOverlaps(spans);
    const Span* first = nullptr;
    for (const Span& span : spans) {
        if (span.fault != SpanFault::None && (!first || span.index < first->index)) {
            first = &span;
        }
    }
    if (!first) {
        check.dataOffsets.resize(spans.size());
        for (const Span& span : spans) {
            check.dataOffsets[span.index] = span.dataStart;
        }
        return check;
    }
    check.fault = first->fault;
    check.index = first->index;
    check.name = NameAt(first->record, cache);
    if (first->fault == SpanFault::Overlap) {
        check.otherIndex = first->other;
        auto other = std::find_if(spans.begin(), spans.end(),
                                  [&](const Span& span) { return span.index == first->other; });
        check.otherName = NameAt(other->record, cache);
    }
    return check;
}

}  // namespace

SpanCheck CheckEntrySpans(const ArchiveReader& archive) {
    try {
        return CheckSpans(archive);
    } catch (const std::bad_alloc&) {
        return {SpanFault::Unreadable};  // a directory claiming more entries than memory holds
    }
}

}  // namespace vantrel::ziplib
