#include "platform/ziplib/RawEntryInflate.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/files/ReadFully.h"
#include "platform/ziplib/EntryDecoder.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr size_t kStreamBuffer = 1 << 20;

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// Streams the entry through its decoder (or, stored, as it is) to consume; ticker may be null (on
// a worker thread, which never calls the caller).
int32_t Decode(int fd, const RawEntry& entry, CallerHooks* ticker,
               const std::function<bool(const char*, size_t)>& consume) {
    bool stored = entry.method == kMethodStored;
    if (stored && entry.compressedSize != entry.size) {
        return LSZIP_E_DAMAGED;
    }
    std::unique_ptr<EntryDecoder> decoder =
        stored ? nullptr : EntryDecoder::For(entry.method, entry.size);
    if (!stored && !decoder) {
        return LSZIP_E_METHOD;
    }
    ByteBuffer input(kStreamBuffer);
    ByteBuffer output(kStreamBuffer);
    const uint8_t* next = input.data();
    size_t available = 0;
    uint64_t offset = entry.dataOffset;
    uint64_t left = entry.compressedSize;
    uint64_t passed = 0;
    uint32_t crc = 0;
    for (;;) {
        if (available == 0 && left > 0) {
            size_t length = static_cast<size_t>(std::min<uint64_t>(left, input.size()));
            if (platform::ReadFully(fd, input.data(), length, offset) != 0) {
                return LSZIP_E_DAMAGED;
            }
            offset += length;
            left -= length;
            next = input.data();
            available = length;
        }
        size_t made = 0;
        const uint8_t* produced = output.data();
        bool ended = false;
        if (stored) {
            produced = next;  // the bytes as they are
            made = available;
            available = 0;
            ended = left == 0;
        } else {
            size_t before = available;
            auto result =
                decoder->Decode(next, available, left == 0, output.data(), output.size(), made);
            if (result == EntryDecoder::Result::Damaged) {
                return LSZIP_E_DAMAGED;
            }
            if (result == EntryDecoder::Result::OutOfMemory) {
                return LSZIP_E_MEMORY;
            }
            ended = result == EntryDecoder::Result::Ended;
            if (!ended && made == 0 && available == before && (available > 0 || left == 0)) {
                return LSZIP_E_DAMAGED;  // the data ends inside the stream, or goes nowhere
            }
        }
        if (made > entry.size - passed) {
            return LSZIP_E_DAMAGED;  // past the declared size: nothing more is passed on
        }
        if (made > 0) {
            crc = crc32_gzip_refl(crc, produced, made);
            if (!consume(reinterpret_cast<const char*>(produced), made)) {
                return LSZIP_E_CREATE;
            }
            passed += made;
            if (ticker &&
                !ticker->Tick(static_cast<int64_t>(passed), static_cast<int64_t>(entry.size))) {
                return LSZIP_E_ABORTED;
            }
        }
        if (ended) {
            break;
        }
    }
    if (passed != entry.size) {
        return LSZIP_E_DAMAGED;
    }
    return crc == entry.crc ? LSZIP_OK : LSZIP_E_CRC;
}

}  // namespace

int32_t InflateWhole(int fd, const RawEntry& entry, ByteBuffer& out) {
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
        out.clear();
        out.reserve(entry.size);
        return Decode(fd, entry, nullptr, [&](const char* data, size_t size) {
            out.insert(out.end(), data, data + size);
            return true;
        });
    }
    thread_local ByteBuffer input;
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    bool deflated = entry.method == kMethodDeflated;
    if (!deflated && entry.compressedSize != entry.size) {
        return LSZIP_E_DAMAGED;
    }
    // Stored data is read straight into place.
    ByteBuffer& read = deflated ? input : out;
    read.resize(entry.compressedSize);
    if (platform::ReadFully(fd, read.data(), read.size(), entry.dataOffset) != 0) {
        return LSZIP_E_DAMAGED;
    }
    if (deflated) {
        if (!decompressor) {
            return LSZIP_E_MEMORY;
        }
        out.resize(entry.size);
        size_t made = 0;
        // Room for exactly the declared size: an entry that would inflate past it stops there.
        libdeflate_result result = libdeflate_deflate_decompress(
            decompressor.get(), input.data(), input.size(), out.data(), out.size(), &made);
        if (result != LIBDEFLATE_SUCCESS || made != entry.size) {
            return LSZIP_E_DAMAGED;
        }
    }
    return libdeflate_crc32(0, out.data(), out.size()) == entry.crc ? LSZIP_OK : LSZIP_E_CRC;
}

int32_t InflateStreamed(int fd, const RawEntry& entry, CallerHooks& ticker,
                        const std::function<bool(const char*, size_t)>& consume) {
    return Decode(fd, entry, &ticker, consume);
}

}  // namespace vantrel::ziplib
