#include "platform/ziplib/RawEntryInflate.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr size_t kStreamBuffer = 1 << 20;

bool ReadAt(int fd, uint8_t* into, size_t length, uint64_t offset) {
    while (length > 0) {
        ssize_t got = ::pread(fd, into, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        into += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<size_t>(got);
    }
    return true;
}

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

}  // namespace

int32_t InflateWhole(int fd, const RawEntry& entry, std::vector<uint8_t>& out) {
    thread_local std::vector<uint8_t> input;
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    if (!entry.deflated && entry.compressedSize != entry.size) {
        return LSZIP_E_DAMAGED;
    }
    input.resize(entry.compressedSize);
    if (!ReadAt(fd, input.data(), input.size(), entry.dataOffset)) {
        return LSZIP_E_DAMAGED;
    }
    if (!entry.deflated) {
        out.assign(input.begin(), input.end());
    } else {
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
    if (!entry.deflated && entry.compressedSize != entry.size) {
        return LSZIP_E_DAMAGED;
    }
    std::vector<uint8_t> input(kStreamBuffer);
    std::vector<uint8_t> output(kStreamBuffer);
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    uint64_t offset = entry.dataOffset;
    uint64_t left = entry.compressedSize;
    uint64_t passed = 0;
    uint32_t crc = 0;
    for (;;) {
        size_t made = 0;
        const uint8_t* produced = output.data();
        if (state->avail_in == 0 && left > 0) {
            size_t length = static_cast<size_t>(std::min<uint64_t>(left, input.size()));
            if (!ReadAt(fd, input.data(), length, offset)) {
                return LSZIP_E_DAMAGED;
            }
            offset += length;
            left -= length;
            state->next_in = input.data();
            state->avail_in = static_cast<uint32_t>(length);
        }
        if (entry.deflated) {
            state->next_out = output.data();
            state->avail_out = static_cast<uint32_t>(output.size());
            if (isal_inflate(state.get()) < 0) {
                return LSZIP_E_DAMAGED;
            }
            made = output.size() - state->avail_out;
        } else {
            produced = input.data();  // stored: the bytes as they are
            made = state->avail_in;
            state->avail_in = 0;
        }
        bool ended = entry.deflated ? state->block_state == ISAL_BLOCK_FINISH : left == 0;
        if (made == 0 && !ended && state->avail_in == 0 && left == 0) {
            return LSZIP_E_DAMAGED;  // the data ends inside the stream
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
            if (!ticker.Tick(static_cast<int64_t>(passed), static_cast<int64_t>(entry.size))) {
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

}  // namespace vantrel::ziplib
