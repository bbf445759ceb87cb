#include "platform/ziplib/RawZipFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/ziplib/EntryDecoder.h"

namespace vantrel::ziplib::raw {

namespace {

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v & kMax32));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

bool Fits(Bytes file, uint64_t offset, uint64_t length) {
    return offset <= file.size && length <= file.size - offset;
}

// Reads the zip64 values of a local header's extra field and returns the other fields unchanged.
std::string TakeZip64Extra(const std::string& extra, LocalEntry& entry) {
    std::string kept;
    size_t i = 0;
    while (i + 4 <= extra.size()) {
        auto p = reinterpret_cast<const uint8_t*>(extra.data() + i);
        uint16_t id = Get16(p);
        size_t length = Get16(p + 2);
        if (i + 4 + length > extra.size()) {
            break;
        }
        if (id == kZip64ExtraId) {
            const uint8_t* field = p + 4;
            const uint8_t* fieldEnd = field + length;
            if (entry.size == kMax32 && field + 8 <= fieldEnd) {
                entry.size = Get64(field);
                field += 8;
            }
            if (entry.compressedSize == kMax32 && field + 8 <= fieldEnd) {
                entry.compressedSize = Get64(field);
            }
        } else {
            kept.append(extra, i, 4 + length);
        }
        i += 4 + length;
    }
    return kept;
}

// Inflates raw deflate data from data on, as far as its stream goes: how much it consumed and
// produced, and the CRC of what it produced. False for broken or truncated data.
bool MeasureDeflate(const uint8_t* data, uint64_t available, uint64_t& consumed, uint64_t& produced,
                    uint32_t& crc) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return false;
    }
    std::vector<unsigned char> out(1 << 16);
    uLong sum = crc32(0, nullptr, 0);
    consumed = produced = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        if (stream.avail_in == 0) {
            uint64_t chunk = std::min<uint64_t>(available - consumed, 1u << 30);
            if (chunk == 0) {
                break;
            }
            stream.next_in = const_cast<Bytef*>(data + consumed);
            stream.avail_in = static_cast<uInt>(chunk);
        }
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        uInt before = stream.avail_in;
        result = inflate(&stream, Z_NO_FLUSH);
        consumed += before - stream.avail_in;
        size_t made = out.size() - stream.avail_out;
        produced += made;
        sum = crc32_z(sum, out.data(), made);
        if (result == Z_BUF_ERROR && stream.avail_in == 0 && consumed < available) {
            result = Z_OK;
        }
    }
    inflateEnd(&stream);
    crc = static_cast<uint32_t>(sum);
    return result == Z_STREAM_END;
}

// Finds the data descriptor of an entry whose sizes the local header leaves open.
bool ReadDescriptor(Bytes file, LocalEntry& entry, bool knownLength) {
    auto tryAt = [&](uint64_t at) -> bool {
        uint64_t length = at - entry.dataOffset;
        bool signature = Fits(file, at, 4) && Get32(file.data + at) == kDescriptorSignature;
        uint64_t fields = at + (signature ? 4 : 0);
        for (int width : {4, 8}) {
            uint64_t total = 4 + 2 * static_cast<uint64_t>(width);
            if (!Fits(file, fields, total)) {
                continue;
            }
            const uint8_t* p = file.data + fields;
            uint64_t compressed = width == 4 ? Get32(p + 4) : Get64(p + 4);
            if (compressed != length) {
                continue;
            }
            entry.crc = Get32(p);
            entry.compressedSize = compressed;
            entry.size = width == 4 ? Get32(p + 8) : Get64(p + 12);
            entry.end = fields + total;
            return true;
        }
        return false;
    };
    if (knownLength) {
        return tryAt(entry.dataOffset + entry.compressedSize);
    }
    // Without a measurable stream only a signed descriptor whose size fits can end the data.
    const uint8_t signature[4] = {0x50, 0x4b, 0x07, 0x08};
    uint64_t from = entry.dataOffset;
    while (from < file.size) {
        auto hit = static_cast<const uint8_t*>(
            memmem(file.data + from, file.size - from, signature, sizeof signature));
        if (!hit) {
            return false;
        }
        uint64_t at = static_cast<uint64_t>(hit - file.data);
        if (tryAt(at)) {
            return true;
        }
        from = at + 1;
    }
    return false;
}

// Whether the entry's data decodes to exactly its size with its CRC, through the decoder that
// extraction reads it with.
bool DecodesWhole(const uint8_t* data, const LocalEntry& entry) {
    std::unique_ptr<EntryDecoder> decoder = EntryDecoder::For(entry.method, entry.size);
    std::vector<uint8_t> out(1 << 16);
    auto available = static_cast<size_t>(entry.compressedSize);
    uint64_t produced = 0;
    uLong sum = crc32(0, nullptr, 0);
    for (auto result = EntryDecoder::Result::Going; result == EntryDecoder::Result::Going;) {
        size_t before = available;
        size_t made = 0;
        result = decoder->Decode(data, available, true, out.data(), out.size(), made);
        produced += made;
        sum = crc32_z(sum, out.data(), made);
        if (produced > entry.size ||
            (result == EntryDecoder::Result::Going && made == 0 && available == before)) {
            return false;  // past its size, or stuck short of its end
        }
        if (result == EntryDecoder::Result::Ended) {
            return produced == entry.size && static_cast<uint32_t>(sum) == entry.crc;
        }
    }
    return false;
}

}  // namespace

std::optional<EndRecord> FindEndRecord(Bytes file) {
    if (file.size < 22) {
        return std::nullopt;
    }
    uint64_t lowest = file.size > 22 + 65535 ? file.size - 22 - 65535 : 0;
    for (uint64_t pos = file.size - 22 + 1; pos-- > lowest;) {
        const uint8_t* p = file.data + pos;
        if (Get32(p) != kEndSignature || pos + 22 + Get16(p + 20) > file.size) {
            continue;
        }
        EndRecord end{Get16(p + 10), Get32(p + 12), pos};
        uint64_t locator = pos >= 20 ? pos - 20 : 0;
        if (pos >= 20 && Get32(file.data + locator) == kZip64LocatorSignature) {
            uint64_t record = Get64(file.data + locator + 8);
            if (Fits(file, record, 56) && Get32(file.data + record) == kZip64EndSignature) {
                end.entries = Get64(file.data + record + 32);
                end.centralSize = Get64(file.data + record + 40);
                end.centralEnd = record;
            }
        }
        return end;
    }
    return std::nullopt;
}

std::optional<std::vector<CentralFields>> ReadCentralDirectory(Bytes file) {
    auto end = FindEndRecord(file);
    if (!end || end->centralSize > end->centralEnd) {
        return std::nullopt;
    }
    uint64_t pos = end->centralEnd - end->centralSize;
    std::vector<CentralFields> fields;
    for (uint64_t i = 0; i < end->entries; ++i) {
        if (!Fits(file, pos, 46) || Get32(file.data + pos) != kCentralSignature) {
            return std::nullopt;
        }
        const uint8_t* p = file.data + pos;
        fields.push_back({Get16(p + 8), Get16(p + 12), Get16(p + 14)});
        pos += 46 + static_cast<uint64_t>(Get16(p + 28)) + Get16(p + 30) + Get16(p + 32);
    }
    return fields;
}

std::optional<LocalEntry> ReadLocalEntry(Bytes file, uint64_t offset) {
    if (!Fits(file, offset, 30) || Get32(file.data + offset) != kLocalSignature) {
        return std::nullopt;
    }
    const uint8_t* p = file.data + offset;
    LocalEntry entry;
    entry.offset = offset;
    entry.versionNeeded = Get16(p + 4);
    entry.flags = Get16(p + 6);
    entry.method = Get16(p + 8);
    entry.dosTime = Get16(p + 10);
    entry.dosDate = Get16(p + 12);
    entry.crc = Get32(p + 14);
    entry.compressedSize = Get32(p + 18);
    entry.size = Get32(p + 22);
    uint64_t nameLength = Get16(p + 26);
    uint64_t extraLength = Get16(p + 28);
    if (!Fits(file, offset + 30, nameLength + extraLength)) {
        return std::nullopt;
    }
    entry.name.assign(reinterpret_cast<const char*>(p + 30), nameLength);
    std::string extra(reinterpret_cast<const char*>(p + 30 + nameLength), extraLength);
    bool sizesOpen = (entry.flags & kFlagDescriptor) != 0;
    entry.extra = TakeZip64Extra(extra, entry);
    entry.dataOffset = offset + 30 + nameLength + extraLength;
    if (!sizesOpen) {
        if (!Fits(file, entry.dataOffset, entry.compressedSize)) {
            return std::nullopt;
        }
        entry.end = entry.dataOffset + entry.compressedSize;
        return entry;
    }
    bool measurable = entry.method == 8 && !(entry.flags & kFlagEncrypted);
    if (measurable) {
        uint64_t produced = 0;
        uint32_t crc = 0;
        if (!MeasureDeflate(file.data + entry.dataOffset, file.size - entry.dataOffset,
                            entry.compressedSize, produced, crc)) {
            return std::nullopt;
        }
    }
    if (!ReadDescriptor(file, entry, measurable)) {
        return std::nullopt;
    }
    return entry;
}

DataCheck CheckEntryData(Bytes file, const LocalEntry& entry) {
    if (entry.flags & kFlagEncrypted) {
        return DataCheck::Unverifiable;
    }
    const uint8_t* data = file.data + entry.dataOffset;
    if (entry.method == 0) {
        auto crc = static_cast<uint32_t>(crc32_z(crc32(0, nullptr, 0), data, entry.compressedSize));
        return crc == entry.crc && entry.size == entry.compressedSize ? DataCheck::Good
                                                                      : DataCheck::Bad;
    }
    if (entry.method == 8) {
        uint64_t consumed = 0, produced = 0;
        uint32_t crc = 0;
        bool whole = MeasureDeflate(data, entry.compressedSize, consumed, produced, crc);
        return whole && consumed == entry.compressedSize && produced == entry.size &&
                       crc == entry.crc
                   ? DataCheck::Good
                   : DataCheck::Bad;
    }
    if (EntryDecoder::Decodes(entry.method)) {
        return DecodesWhole(data, entry) ? DataCheck::Good : DataCheck::Bad;
    }
    return DataCheck::Unverifiable;
}

std::string BuildCentralDirectory(const std::vector<LocalEntry>& entries,
                                  const std::vector<uint64_t>& newOffsets, uint64_t centralOffset) {
    std::string out;
    for (size_t i = 0; i < entries.size(); ++i) {
        const LocalEntry& e = entries[i];
        uint64_t offset = newOffsets[i];
        std::string zip64;
        if (e.size >= kMax32)
            Put64(zip64, e.size);
        if (e.compressedSize >= kMax32)
            Put64(zip64, e.compressedSize);
        if (offset >= kMax32)
            Put64(zip64, offset);
        std::string extra = e.extra;
        if (!zip64.empty()) {
            std::string block;
            Put16(block, kZip64ExtraId);
            Put16(block, static_cast<uint16_t>(zip64.size()));
            extra = block + zip64 + extra;
        }
        if (extra.size() > kMax16) {
            extra.resize(0);
        }
        uint16_t version = std::max<uint16_t>(e.versionNeeded, zip64.empty() ? 20 : 45);
        Put32(out, kCentralSignature);
        Put16(out, version);  // made by: MS-DOS and that version
        Put16(out, version);
        Put16(out, e.flags);
        Put16(out, e.method);
        Put16(out, e.dosTime);
        Put16(out, e.dosDate);
        Put32(out, e.crc);
        Put32(out, static_cast<uint32_t>(std::min<uint64_t>(e.compressedSize, kMax32)));
        Put32(out, static_cast<uint32_t>(std::min<uint64_t>(e.size, kMax32)));
        Put16(out, static_cast<uint16_t>(e.name.size()));
        Put16(out, static_cast<uint16_t>(extra.size()));
        Put16(out, 0);  // comment
        Put16(out, 0);  // disk
        Put16(out, 0);  // internal attributes
        bool folder = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');
        Put32(out, folder ? 0x10 : 0x20);
        Put32(out, static_cast<uint32_t>(std::min<uint64_t>(offset, kMax32)));
        out += e.name;
        out += extra;
    }
    return out + BuildEndRecords(entries.size(), centralOffset, out.size());
}

std::string BuildEndRecords(uint64_t count, uint64_t centralOffset, uint64_t centralSize,
                            std::string_view comment, bool zip64) {
    std::string out;
    if (zip64 || count >= kMax16 || centralOffset >= kMax32 || centralSize >= kMax32) {
        uint64_t record = centralOffset + centralSize;
        Put32(out, kZip64EndSignature);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, centralSize);
        Put64(out, centralOffset);
        Put32(out, kZip64LocatorSignature);
        Put32(out, 0);
        Put64(out, record);
        Put32(out, 1);
    }
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
    Put16(out, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
    Put32(out, static_cast<uint32_t>(std::min<uint64_t>(centralSize, kMax32)));
    Put32(out, static_cast<uint32_t>(std::min<uint64_t>(centralOffset, kMax32)));
    Put16(out, static_cast<uint16_t>(comment.size()));
    out += comment;
    return out;
}

}  // namespace vantrel::ziplib::raw
