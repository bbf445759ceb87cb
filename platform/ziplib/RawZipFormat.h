#pragma once
// The few pieces of the zip format that libzip does not offer: the raw fields of the central
// directory (general-purpose flags, DOS time words), local headers read one by one without a
// central directory, and a central directory written for entries recovered that way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib::raw {

struct Bytes {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
};

// The end-of-central-directory record, zip64 values where the archive has them.
struct EndRecord {
    uint64_t entries = 0;
    uint64_t centralSize = 0;
    uint64_t centralEnd = 0;  // where the central directory ends in the file
};
std::optional<EndRecord> FindEndRecord(Bytes file);

struct CentralFields {
    uint16_t flags = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
};
// The raw fields of every central directory entry in order; nullopt when it cannot be read.
std::optional<std::vector<CentralFields>> ReadCentralDirectory(Bytes file);

struct LocalEntry {
    uint64_t offset = 0;  // of the local header
    uint64_t dataOffset = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t end = 0;  // past the data and its data descriptor, if any
    uint32_t crc = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    std::string name;
    std::string extra;  // the local extra fields without the zip64 one
};

// The entry whose local header starts at offset, with its real sizes and CRC (taken from its
// data descriptor, or measured, when the header leaves them open); nullopt when the header or
// the data does not fit in the file.
std::optional<LocalEntry> ReadLocalEntry(Bytes file, uint64_t offset);

enum class DataCheck { Good, Bad, Unverifiable };
// Compares size and CRC of stored entries, and of deflated, LZMA, XZ and Zstandard ones once
// decompressed; encrypted entries and other methods (bzip2 among them) cannot be checked without
// more than the archive.
DataCheck CheckEntryData(Bytes file, const LocalEntry& entry);

// The central directory and end records for entries whose local headers were copied unchanged
// to newOffsets, the directory itself starting at centralOffset; zip64 records where needed.
std::string BuildCentralDirectory(const std::vector<LocalEntry>& entries,
                                  const std::vector<uint64_t>& newOffsets, uint64_t centralOffset);

// The end records of a directory of count entries and centralSize bytes at centralOffset, zip64
// ones where a number needs them (or zip64 is set), and the archive comment (at most 65,535
// bytes).
std::string BuildEndRecords(uint64_t count, uint64_t centralOffset, uint64_t centralSize,
                            std::string_view comment = {}, bool zip64 = false);

// The zip format's fixed numbers and little-endian fields, for the code that reads records by hand.
inline constexpr uint32_t kLocalSignature = 0x04034b50;
inline constexpr uint32_t kCentralSignature = 0x02014b50;
inline constexpr uint32_t kEndSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr uint32_t kDescriptorSignature = 0x08074b50;
inline constexpr uint16_t kZip64ExtraId = 0x0001;
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDescriptor = 0x0008;
inline constexpr uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr uint16_t kMax16 = 0xFFFFu;

inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}
inline uint64_t Get64(const uint8_t* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

}  // namespace vantrel::ziplib::raw
