#include "platform/ziplib/EntryTimes.h"

#include <cstdint>
#include <limits>

#include "platform/ziplib/RawZipFormat.h"

namespace vantrel::ziplib {

namespace {

using raw::Get16;
using raw::Get32;
using raw::Get64;

constexpr zip_uint16_t kExtendedTimestampId = 0x5455;
constexpr zip_uint16_t kNtfsTimesId = 0x000a;
constexpr uint8_t kHasModifiedTime = 0x01;
constexpr uint16_t kNtfsFileTimesTag = 0x0001;
// NTFS counts 100-nanosecond steps from 1 January 1601, 11,644,473,600 seconds before 1970.
constexpr uint64_t kNtfsStepsPerSecond = 10000000;
constexpr int64_t kNtfsEpochOffset = 11644473600;

// Flags, then the modification time as a signed 32-bit count of seconds since 1970 when the
// first flag says so.
std::optional<std::time_t> FromExtendedTimestamp(const zip_uint8_t* data, zip_uint16_t length) {
    if (length < 5 || !(data[0] & kHasModifiedTime)) {
        return std::nullopt;
    }
    return static_cast<std::time_t>(static_cast<int32_t>(Get32(data + 1)));
}

// Four reserved bytes, then tagged attributes; tag 1 holds the modification, access and creation
// times, eight bytes each.
std::optional<std::time_t> FromNtfsTimes(const zip_uint8_t* data, zip_uint16_t length) {
    for (size_t at = 4; at + 4 <= length;) {
        uint16_t tag = Get16(data + at);
        size_t size = Get16(data + at + 2);
        if (at + 4 + size > length) {
            break;
        }
        if (tag == kNtfsFileTimesTag && size >= 24) {
            uint64_t steps = Get64(data + at + 4);
            if (steps == 0) {
                return std::nullopt;  // not set
            }
            return static_cast<std::time_t>(static_cast<int64_t>(steps / kNtfsStepsPerSecond) -
                                            kNtfsEpochOffset);
        }
        at += 4 + size;
    }
    return std::nullopt;
}

std::optional<std::time_t> FromField(zip_t* za, zip_uint64_t index, zip_uint16_t id,
                                     std::optional<std::time_t> (*read)(const zip_uint8_t*,
                                                                        zip_uint16_t)) {
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(za, index, id, 0, &length, ZIP_FL_CENTRAL);
    return data ? read(data, length) : std::nullopt;
}

}  // namespace

std::optional<std::time_t> ExtendedModifiedTime(zip_t* za, zip_uint64_t index) {
    if (auto time = FromField(za, index, kExtendedTimestampId, FromExtendedTimestamp)) {
        return time;
    }
    return FromField(za, index, kNtfsTimesId, FromNtfsTimes);
}

std::time_t EntryModifiedTime(zip_t* za, zip_uint64_t index, const zip_stat_t& stat) {
    return ExtendedModifiedTime(za, index).value_or(stat.mtime);
}

bool SetExtendedModifiedTime(zip_t* za, zip_uint64_t index, std::time_t modified) {
    constexpr zip_flags_t kBoth = ZIP_FL_LOCAL | ZIP_FL_CENTRAL;
    // A replaced entry's old time fields would still name the old time.
    for (zip_uint16_t id : {kExtendedTimestampId, kNtfsTimesId}) {
        if (zip_file_extra_field_delete_by_id(za, index, id, ZIP_EXTRA_FIELD_ALL, kBoth) != 0) {
            return false;
        }
    }
    if (modified < std::numeric_limits<int32_t>::min() ||
        modified > std::numeric_limits<int32_t>::max()) {
        return true;
    }
    auto seconds = static_cast<uint32_t>(static_cast<int32_t>(modified));
    const zip_uint8_t field[5] = {
        kHasModifiedTime, static_cast<zip_uint8_t>(seconds), static_cast<zip_uint8_t>(seconds >> 8),
        static_cast<zip_uint8_t>(seconds >> 16), static_cast<zip_uint8_t>(seconds >> 24)};
    return zip_file_extra_field_set(za, index, kExtendedTimestampId, ZIP_EXTRA_FIELD_NEW, field,
                                    sizeof field, kBoth) == 0;
}

}  // namespace vantrel::ziplib
