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
    uint64_t start = 0;   // the data in front of the archive
    uint64_t offset = 0;  // as the end records state it: from the archive's start
    uint64_t size = 0;
    uint64_t entries = 0;  // as the end records state it
    bool zip64 = false;
    uint64_t endRecord = 0;     // where the end record lies in the file
    uint64_t recordsStart = 0;  // where the end records begin (the zip64 ones first)
    uint64_t commentSize = 0;

    uint64_t First() const { return start + offset; }
    uint64_t End() const { return start + offset + size; }
    // Two end records that lead to the same records lead to the same entries.
    bool SameAs(const Directory& other) const {
        return start == other.start && offset == other.offset && size == other.size &&
               entries == other.entries;
    }
};

// The zip64 end record that a locator at position leads to: where the locator says or, when data
// was put in front of the archive, right before the locator. nullopt when neither place holds
// one: bytes that merely look like a locator (in the last entry's comment) are none.
std::optional<uint64_t> Zip64RecordOf(uint64_t position, ReadCache& cache) {
    const uint8_t* locator = cache.At(position, kLocatorLength);
    if (!locator || Get32(locator) != kZip64LocatorSignature) {
        return std::nullopt;
    }
    const uint64_t places[] = {Get64(locator + 8), position - std::min(position, kZip64EndLength)};
    for (uint64_t at : places) {
        const uint8_t* record =
            Add(at, kZip64EndLength) <= position ? cache.At(at, kZip64EndLength) : nullptr;
        if (record && Get32(record) == kZip64EndSignature) {
            return at;
        }
    }
    return std::nullopt;
}

// The length of the data in front of the archive whose directory is stated: none when the
// directory lies where stated, else the shift that puts it right before its end records (which
// begin at recordsStart). nullopt when neither place holds a directory.
std::optional<uint64_t> StartOf(const Directory& stated, uint64_t recordsStart, ReadCache& cache) {
    if (stated.size > recordsStart || stated.offset > recordsStart - stated.size) {
        return std::nullopt;  // the directory would run into its own end records
    }
    if (stated.size == 0) {
        return 0;
    }
    for (uint64_t start : {uint64_t{0}, recordsStart - stated.size - stated.offset}) {
        const uint8_t* first = cache.At(start + stated.offset, 4);
        if (first && Get32(first) == kCentralSignature) {
            return start;
        }
    }
    return std::nullopt;
}

// The central directory the end record at position leads to, zip64 values where a locator leads
// to them; nullopt when it leads to nothing that could be a directory.
std::optional<Directory> DirectoryOf(const uint8_t* end, uint64_t position, uint64_t fileSize,
                                     ReadCache& cache) {
    if (Add(position + kEndLength, Get16(end + 20)) > fileSize) {
        return std::nullopt;  // its comment runs past the end of the file
    }
    Directory found{.offset = Get32(end + 16), .size = Get32(end + 12), .entries = Get16(end + 10)};
    uint64_t recordsStart = position;
    if (position >= kLocatorLength) {
        if (auto record = Zip64RecordOf(position - kLocatorLength, cache)) {
            const uint8_t* zip64 = cache.At(*record, kZip64EndLength);
            found = {.offset = Get64(zip64 + 48),
                     .size = Get64(zip64 + 40),
                     .entries = Get64(zip64 + 32),
                     .zip64 = true};
            recordsStart = *record;
        }
    }
    found.endRecord = position;
    found.recordsStart = recordsStart;
    found.commentSize = Get16(end + 20);
    auto start = StartOf(found, recordsStart, cache);
    if (!start) {
        return std::nullopt;
    }
    found.start = *start;
    // Without zip64 the count is only its last 16 bits: a full directory may state 0.
    bool empty = found.size == 0 && found.entries == 0;
    if (!empty && (found.size / kCentralLength < found.entries || found.size < kCentralLength ||
                   (found.zip64 && found.entries == 0))) {
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
        if (directory && directory->size == 0) {
            empty = directory;
        } else if (directory) {
            if (found && !found->SameAs(*directory)) {
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
    uint64_t start = 0;  // the local header, where the central directory puts it
    uint64_t end = 0;    // past the data and its descriptor
    uint64_t compressedSize = 0;
    uint64_t index = 0;
    uint64_t record = 0;  // where its central directory record lies
    SpanFault fault = SpanFault::None;
    uint64_t other = 0;
    uint64_t dataStart = 0;
};

// The zip64 values of a central record's extra field replace the 32-bit fields that hold the
// largest value, in their fixed order; false when the field is too short for them. Without a zip64
// field the largest values are the real ones (found tells which).
bool TakeZip64(const uint8_t* extra, uint64_t length, bool size, uint64_t& compressed,
               uint64_t& offset, bool& found) {
    found = false;
    for (uint64_t i = 0; i + 4 <= length;) {
        uint16_t id = Get16(extra + i);
        uint64_t fieldLength = Get16(extra + i + 2);
        if (i + 4 + fieldLength > length) {
            return true;  // a damaged trailing field; libzip ignores it as well
        }
        if (id == kZip64ExtraId) {
            found = true;
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

// Takes what the check hands on from a directory record besides its span.
void NoteRecord(const uint8_t* record, uint64_t index, bool literalMaxima, SpanCheck& check) {
    check.fields.push_back({Get16(record + 8), Get16(record + 12), Get16(record + 14)});
    uint64_t nameLength = Get16(record + 28);
    const char* name = reinterpret_cast<const char*>(record + kCentralLength);
    if (std::memchr(name, '\0', nameLength)) {
        check.namesWithNul.emplace(index, std::string(name, nameLength));
    }
    if (literalMaxima) {
        check.layout.literalMaxima.push_back(index);
    }
}

// The spans as the central directory states them (and the rest check takes from the records);
// false (with the failing index) when a record does not fit in the directory or cannot be read.
// Without zip64 the end record counts the entries modulo 65,536: as long as the directory has
// room for another record, 65,536 more follow.
bool ReadDirectory(const Directory& directory, ReadCache& cache, std::vector<Span>& spans,
                   SpanCheck& check) {
    uint64_t room = directory.size / kCentralLength;
    spans.reserve(std::min(directory.entries, room));
    check.fields.reserve(std::min(directory.entries, room));
    uint64_t position = directory.First();
    uint64_t directoryEnd = directory.End();
    uint64_t count = directory.entries;
    for (uint64_t i = 0;; ++i) {
        if (i == count) {
            if (directory.zip64 || directoryEnd - position < kCentralLength) {
                break;
            }
            count += 0x10000;
        }
        check.index = i;
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
        bool maxima = sizeIn64 || compressed == kMax32 || offset == kMax32;
        bool zip64Field = false;
        const uint8_t* record =
            position + recordLength <= directoryEnd ? cache.At(position, recordLength) : nullptr;
        if (!record || !TakeZip64(record + kCentralLength + nameLength, extraLength, sizeIn64,
                                  compressed, offset, zip64Field)) {
            return false;
        }
        NoteRecord(record, i, maxima && !zip64Field, check);
        spans.push_back({Add(directory.start, offset), 0, compressed, i, position});
        position += recordLength;
    }
    check.entries = count;
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
    if (span.start >= directory.First()) {
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
        const uint8_t* signature = end <= directory.First() ? cache.At(end, 4) : nullptr;
        if (signature && Get32(signature) == kDescriptorSignature) {
            descriptor += 4;
        }
        end = Add(end, descriptor);
    }
    span.end = end;
    if (end > directory.First()) {
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

// The fault of the offending span, reported as the check reports it.
SpanCheck Refusal(const std::vector<Span>& spans, const Span& first, uint64_t entries,
                  ReadCache& cache) {
    SpanCheck check;
    check.fault = first.fault;
    check.entries = entries;
    check.index = first.index;
    check.name = NameAt(first.record, cache);
    if (first.fault == SpanFault::Overlap) {
        check.otherIndex = first.other;
        auto other = std::find_if(spans.begin(), spans.end(),
                                  [&](const Span& span) { return span.index == first.other; });
        check.otherName = NameAt(other->record, cache);
    }
    return check;
}

SpanCheck CheckSpans(const ArchiveReader& archive) {
    SpanCheck check;
    ReadCache cache(archive);
    auto directory = FindDirectory(archive, cache, check.fault);
    if (!directory) {
        return check;
    }
    std::vector<Span> spans;
    if (!ReadDirectory(*directory, cache, spans, check)) {
        return {
            .fault = SpanFault::Unreadable, .entries = directory->entries, .index = check.index};
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
    if (first) {
        return Refusal(spans, *first, check.entries, cache);
    }
    check.index = 0;
    check.dataOffsets.resize(spans.size());
    for (const Span& span : spans) {
        check.dataOffsets[span.index] = span.dataStart;
    }
    ArchiveLayout& layout = check.layout;
    layout.start = directory->start;
    layout.firstEntry = spans.empty() ? directory->recordsStart : spans.front().start;
    layout.directoryStart = directory->First();
    layout.directorySize = directory->size;
    layout.commentStart = directory->endRecord + kEndLength;
    layout.commentSize = directory->commentSize;
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
