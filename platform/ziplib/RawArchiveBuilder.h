#pragma once
// Test support: archives written byte by byte, so that tests and fuzzing seeds can hold what no
// zip program writes: directory entries sharing one local header, local headers quoted inside
// the previous entry's deflate data, directories pointing anywhere, sizes that lie, zip64
// records on small entries. Header-only, as it serves several test programs.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::ziplib::testing {

struct RawEntry {
    std::string name;
    uint64_t offset = 0;  // of its local header
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t flags = 0;
    bool zip64 = false;   // sizes and offset go into the zip64 extra field
    std::string comment;  // in the central directory
};

namespace raw_detail {

inline constexpr uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr uint16_t kDosDate = 0x21;  // 1 January 1980

inline void Put16(std::string& out, uint64_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint64_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, (v >> 16) & 0xFFFF);
}
inline void Put64(std::string& out, uint64_t v) {
    Put32(out, v & kMax32);
    Put32(out, v >> 32);
}
inline uint64_t Narrow(uint64_t v, bool zip64) {
    return zip64 ? kMax32 : v;
}

}  // namespace raw_detail

inline uint32_t Crc(std::string_view data) {
    return static_cast<uint32_t>(
        crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Raw deflate data (no zlib wrapper) of count zeros, compressed as it streams, so that a
// gigabyte of zeros needs a megabyte of memory; crc receives the CRC of the zeros.
inline std::string DeflatedZeros(uint64_t count, uint32_t* crc = nullptr) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0');
    std::string out;
    std::vector<char> buffer(1 << 16);
    uLong sum = crc32(0, nullptr, 0);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        uint64_t chunk = std::min<uint64_t>(count, zeros.size());
        count -= chunk;
        flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
        sum = crc32_z(sum, reinterpret_cast<const Bytef*>(zeros.data()), chunk);
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(chunk);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.append(buffer.data(), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    if (crc) {
        *crc = static_cast<uint32_t>(sum);
    }
    return out;
}

// A local header; with the descriptor flag (0x8) its CRC and sizes are left zero.
inline std::string LocalHeader(const RawEntry& e) {
    using namespace raw_detail;
    bool open = e.flags & 0x8;
    std::string extra;
    if (e.zip64) {
        Put16(extra, 1);
        Put16(extra, 16);
        Put64(extra, open ? 0 : e.size);
        Put64(extra, open ? 0 : e.compressedSize);
    }
    std::string out;
    Put32(out, 0x04034b50);
    Put16(out, e.zip64 ? 45 : 20);
    Put16(out, e.flags);
    Put16(out, e.method);
    Put16(out, 0);
    Put16(out, kDosDate);
    Put32(out, open ? 0 : e.crc);
    Put32(out, open ? 0 : Narrow(e.compressedSize, e.zip64));
    Put32(out, open ? 0 : Narrow(e.size, e.zip64));
    Put16(out, e.name.size());
    Put16(out, extra.size());
    return out + e.name + extra;
}

// The data descriptor of an entry that flags one, with or without its signature.
inline std::string DataDescriptor(const RawEntry& e, bool withSignature = true) {
    using namespace raw_detail;
    std::string out;
    if (withSignature) {
        Put32(out, 0x08074b50);
    }
    Put32(out, e.crc);
    auto put = e.zip64 ? Put64 : Put32;
    put(out, e.compressedSize);
    put(out, e.size);
    return out;
}

inline std::string CentralRecord(const RawEntry& e) {
    using namespace raw_detail;
    std::string extra;
    if (e.zip64) {
        Put16(extra, 1);
        Put16(extra, 24);
        Put64(extra, e.size);
        Put64(extra, e.compressedSize);
        Put64(extra, e.offset);
    }
    std::string out;
    Put32(out, 0x02014b50);
    Put16(out, 0x0300 | 45);  // made by Unix
    Put16(out, e.zip64 ? 45 : 20);
    Put16(out, e.flags);
    Put16(out, e.method);
    Put16(out, 0);
    Put16(out, kDosDate);
    Put32(out, e.crc);
    Put32(out, Narrow(e.compressedSize, e.zip64));
    Put32(out, Narrow(e.size, e.zip64));
    Put16(out, e.name.size());
    Put16(out, extra.size());
    Put16(out, e.comment.size());
    Put16(out, 0);  // disk
    Put16(out, 0);  // internal attributes
    Put32(out, 0100644u << 16);
    Put32(out, Narrow(e.offset, e.zip64));
    return out + e.name + extra + e.comment;
}

// The end records for a directory of count entries and size bytes at offset; zip64 adds the
// zip64 end record and its locator and leaves the largest values in the old record.
inline std::string EndRecords(uint64_t count, uint64_t offset, uint64_t size, bool zip64,
                              std::string_view comment = {}) {
    using namespace raw_detail;
    std::string out;
    if (zip64) {
        Put32(out, 0x06064b50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, size);
        Put64(out, offset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, offset + size);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64 ? 0xFFFF : count);
    Put16(out, zip64 ? 0xFFFF : count);
    Put32(out, Narrow(size, zip64));
    Put32(out, Narrow(offset, zip64));
    Put16(out, comment.size());
    out += comment;
    return out;
}

// An archive built front to back: bytes and local entries, then the directory for any entries.
class RawArchive {
  public:
    RawArchive& Append(std::string_view bytes) {
        bytes_ += bytes;
        return *this;
    }

    // Appends a local header and data (already compressed with entry.method) and returns the
    // entry with its offset, compressed size and, where unset, its size and CRC filled in as
    // stored data would have them. With flag 0x8 a descriptor follows the data.
    RawEntry AddLocal(RawEntry entry, std::string_view data, bool signedDescriptor = true) {
        entry.offset = bytes_.size();
        entry.compressedSize = data.size();
        if (entry.method == 0 && entry.size == 0) {
            entry.size = data.size();
        }
        if (entry.crc == 0 && entry.method == 0) {
            entry.crc = Crc(data);
        }
        bytes_ += LocalHeader(entry);
        bytes_ += data;
        if (entry.flags & 0x8) {
            bytes_ += DataDescriptor(entry, signedDescriptor);
        }
        return entry;
    }

    uint64_t Size() const { return bytes_.size(); }
    const std::string& Bytes() const { return bytes_; }

    // The archive with a central directory of entries (whatever their offsets) and end records.
    std::string Finish(const std::vector<RawEntry>& entries, bool zip64 = false,
                       std::string_view comment = {}) const {
        std::string central;
        for (const RawEntry& e : entries) {
            central += CentralRecord(e);
        }
        zip64 =
            zip64 || entries.size() >= 0xFFFF || bytes_.size() >= raw_detail::kMax32 ||
            std::any_of(entries.begin(), entries.end(), [](const RawEntry& e) { return e.zip64; });
        return bytes_ + central +
               EndRecords(entries.size(), bytes_.size(), central.size(), zip64, comment);
    }

  private:
    std::string bytes_;
};

// One deflated entry "lie.bin" that declares declared bytes and inflates to real zeros; its CRC
// is that of the real data, so only the size gives it away.
inline std::string LyingSizeArchive(uint64_t declared, uint64_t real) {
    RawArchive archive;
    RawEntry entry{.name = "lie.bin", .size = declared, .method = 8};
    std::string data = DeflatedZeros(real, &entry.crc);
    return archive.Finish({archive.AddLocal(entry, data)});
}

// entries directory entries ("0", "1", ...) on one local header whose data inflates to size
// zeros: the archive inflates to entries times size.
inline std::string FullOverlapBomb(int entries, uint64_t size) {
    RawArchive archive;
    RawEntry kernel{.name = "0", .size = size, .method = 8};
    std::string data = DeflatedZeros(size, &kernel.crc);
    kernel = archive.AddLocal(kernel, data);
    std::vector<RawEntry> all;
    for (int i = 0; i < entries; ++i) {
        RawEntry e = kernel;
        e.name = std::to_string(i);
        all.push_back(e);
    }
    return archive.Finish(all);
}

// entries local headers, each quoted by a stored deflate block at the start of the previous
// entry's data, all ending in one kernel of size zeros: every entry inflates to the headers
// after it and the kernel, and no two local headers coincide.
inline std::string QuotedOverlapBomb(int entries, uint64_t size) {
    std::vector<RawEntry> all(entries);
    std::vector<std::string> headers(entries);
    uint32_t kernelCrc = 0;
    std::string kernel = DeflatedZeros(size, &kernelCrc);
    uint64_t compressed = kernel.size();
    uint64_t inflated = size;
    uint32_t crc = kernelCrc;
    for (int i = entries - 1; i >= 0; --i) {
        if (i < entries - 1) {
            const std::string& next = headers[i + 1];
            crc = static_cast<uint32_t>(crc32_combine(Crc(next), crc, inflated));
            inflated += next.size();
            compressed += 5 + next.size();
        }
        all[i] = {.name = std::to_string(i),
                  .crc = crc,
                  .compressedSize = compressed,
                  .size = inflated,
                  .method = 8};
        headers[i] = LocalHeader(all[i]);
    }
    std::string bytes;
    for (int i = 0; i < entries; ++i) {
        all[i].offset = bytes.size();
        bytes += headers[i];
        if (i < entries - 1) {
            uint64_t length = headers[i + 1].size();
            std::string quote(1, '\0');  // a stored block that is not the last one
            raw_detail::Put16(quote, length);
            raw_detail::Put16(quote, ~length & 0xFFFF);
            bytes += quote;
        }
    }
    RawArchive archive;
    archive.Append(bytes + kernel);
    return archive.Finish(all);
}

}  // namespace vantrel::ziplib::testing
