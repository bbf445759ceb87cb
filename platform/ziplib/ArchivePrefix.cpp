#include "platform/ziplib/ArchivePrefix.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/RawZipFormat.h"

namespace vantrel::ziplib {

namespace {

using namespace raw;

constexpr size_t kCentralLength = 46;
constexpr uint16_t kZip64Version = 45;

void Put16(std::string& out, uint64_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint64_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, (v >> 16) & 0xFFFF);
}
void Put64(std::string& out, uint64_t v) {
    Put32(out, v & kMax32);
    Put32(out, v >> 32);
}
void Set16(std::string& record, size_t at, uint64_t v) {
    std::string bytes;
    Put16(bytes, v);
    record.replace(at, 2, bytes);
}
void Set32(std::string& record, size_t at, uint64_t v) {
    std::string bytes;
    Put32(bytes, v);
    record.replace(at, 4, bytes);
}

bool ReadAll(int fd, uint64_t offset, std::string& out) {
    return DescriptorReader(fd, offset, out.size()).ReadAt(0, out.data(), out.size());
}

bool WriteAll(int fd, uint64_t offset, std::string_view data) {
    while (!data.empty()) {
        ssize_t done = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            errno = done == 0 ? ENOSPC : errno;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(done));
        offset += static_cast<uint64_t>(done);
    }
    return true;
}

// An extra field split into the zip64 field's values and the other fields.
struct SplitExtra {
    std::string_view zip64;
    std::string others;
};

SplitExtra Split(std::string_view extra) {
    SplitExtra split;
    for (size_t at = 0; at + 4 <= extra.size();) {
        auto field = reinterpret_cast<const uint8_t*>(extra.data() + at);
        size_t length = std::min<size_t>(Get16(field + 2), extra.size() - at - 4);
        if (Get16(field) == kZip64ExtraId) {
            split.zip64 = extra.substr(at + 4, length);
        } else {
            split.others.append(extra.substr(at, 4 + length));
        }
        at += 4 + length;
    }
    return split;
}

// The directory record with its entry's offset moved on by shift: in the 32-bit field while it
// fits, else in the zip64 field (written afresh in front of the others, its other values kept).
std::optional<std::string> ShiftedRecord(std::string_view record, uint64_t shift) {
    auto p = reinterpret_cast<const uint8_t*>(record.data());
    size_t nameLength = Get16(p + 28);
    size_t extraLength = Get16(p + 30);
    SplitExtra extra = Split(record.substr(kCentralLength + nameLength, extraLength));
    // The zip64 values stand in a fixed order: size, compressed size, offset, disk.
    size_t sizes = Get32(p + 24) == kMax32 ? 8 : 0;
    sizes += Get32(p + 20) == kMax32 ? 8 : 0;
    size_t offsetIn64 = Get32(p + 42) == kMax32 ? 8 : 0;
    if (extra.zip64.size() < sizes + offsetIn64) {
        return std::nullopt;
    }
    uint64_t offset = offsetIn64
                          ? Get64(reinterpret_cast<const uint8_t*>(extra.zip64.data()) + sizes)
                          : Get32(p + 42);
    if (offset > UINT64_MAX - shift) {
        return std::nullopt;
    }
    offset += shift;
    bool offsetTo64 = offset >= kMax32;
    std::string values(extra.zip64.substr(0, sizes));
    if (offsetTo64) {
        Put64(values, offset);
    }
    values.append(extra.zip64.substr(sizes + offsetIn64));
    std::string newExtra;
    if (!values.empty()) {
        Put16(newExtra, kZip64ExtraId);
        Put16(newExtra, values.size());
        newExtra += values;
    }
    newExtra += extra.others;
    if (newExtra.size() > kMax16) {
        return std::nullopt;
    }
    std::string out(record.substr(0, kCentralLength + nameLength));
    Set16(out, 30, newExtra.size());
    Set32(out, 42, offsetTo64 ? kMax32 : offset);
    if (offsetTo64) {
        Set16(out, 6, std::max<uint16_t>(Get16(p + 6), kZip64Version));
    }
    return out + newExtra + std::string(record.substr(kCentralLength + nameLength + extraLength));
}

std::optional<std::string> ShiftedDirectory(std::string_view directory, uint64_t shift) {
    std::string out;
    for (size_t at = 0; at + kCentralLength <= directory.size();) {
        auto p = reinterpret_cast<const uint8_t*>(directory.data() + at);
        size_t length = kCentralLength + Get16(p + 28) + Get16(p + 30) + Get16(p + 32);
        auto record = ShiftedRecord(directory.substr(at, length), shift);
        if (!record) {
            return std::nullopt;
        }
        out += *record;
        at += length;
    }
    return out;
}

}  // namespace

bool CopyPrefix(int from, int to, uint64_t length) {
    off_t in = 0;
    off_t out = 0;
    while (static_cast<uint64_t>(in) < length) {
        ssize_t copied =
            ::copy_file_range(from, &in, to, &out, length - static_cast<uint64_t>(in), 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied <= 0) {
            errno = copied == 0 ? EIO : errno;  // the file is shorter than it was
            return false;
        }
    }
    return true;
}

std::optional<uint64_t> CountOffsetsFromFileStart(int fd, uint64_t prefix, uint64_t size) {
    SpanCheck check = CheckEntrySpans(DescriptorReader(fd, prefix, size));
    const ArchiveLayout& layout = check.layout;
    errno = 0;
    if (check.fault != SpanFault::None || layout.start != 0) {
        return std::nullopt;  // not what libzip writes
    }
    if (check.entries == 0) {
        return prefix + size;  // no offset to move: unzip finds an empty directory only at 0
    }
    std::string directory(layout.directorySize, '\0');
    std::string comment(layout.commentSize, '\0');
    if (!ReadAll(fd, prefix + layout.directoryStart, directory) ||
        !ReadAll(fd, prefix + layout.commentStart, comment)) {
        return std::nullopt;
    }
    auto shifted = ShiftedDirectory(directory, prefix);
    if (!shifted) {
        return std::nullopt;
    }
    uint64_t directoryStart = prefix + layout.directoryStart;
    std::string tail =
        *shifted + BuildEndRecords(check.entries, directoryStart, shifted->size(), comment);
    uint64_t end = directoryStart + tail.size();
    if (!WriteAll(fd, directoryStart, tail) || ::ftruncate(fd, static_cast<off_t>(end)) != 0) {
        return std::nullopt;
    }
    return end;
}

}  // namespace vantrel::ziplib
