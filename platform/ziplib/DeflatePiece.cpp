#include "platform/ziplib/DeflatePiece.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <memory>

namespace vantrel::ziplib {

namespace {

constexpr int kIsalLevel = 1;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

// One compressor per level and thread, kept for the thread's life (the pool's threads end with
// the execute call).
libdeflate_compressor* Compressor(int level) {
    thread_local std::array<std::unique_ptr<libdeflate_compressor, CompressorFree>, 13> kept;
    auto& compressor = kept[static_cast<size_t>(level)];
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(level));
    }
    return compressor.get();
}

bool DeflateIsal(std::span<const uint8_t> dictionary, std::span<const uint8_t> data, bool last,
                 ByteBuffer& out) {
    thread_local std::vector<uint8_t> levelBuffer(ISAL_DEF_LVL1_DEFAULT);
    isal_zstream stream;
    isal_deflate_init(&stream);
    stream.level = kIsalLevel;
    stream.level_buf = levelBuffer.data();
    stream.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
    if (!dictionary.empty() &&
        isal_deflate_set_dict(&stream, const_cast<uint8_t*>(dictionary.data()),
                              static_cast<uint32_t>(dictionary.size())) != COMP_OK) {
        return false;
    }
    stream.end_of_stream = last ? 1 : 0;
    stream.flush = last ? NO_FLUSH : SYNC_FLUSH;
    stream.next_in = const_cast<uint8_t*>(data.data());
    stream.avail_in = static_cast<uint32_t>(data.size());
    size_t start = out.size();
    size_t made = 0;
    // Stored blocks bound the growth of data that does not compress.
    size_t room = data.size() + data.size() / 16 + 1024;
    for (int round = 0; round < 64; ++round) {
        out.resize(start + made + room);
        stream.next_out = out.data() + start + made;
        stream.avail_out = static_cast<uint32_t>(room);
        if (isal_deflate(&stream) != COMP_OK) {
            return false;
        }
        made += room - stream.avail_out;
        bool finished = last ? stream.internal_state.state == ZSTATE_END
                             : stream.avail_in == 0 && stream.avail_out > 0;
        if (finished) {
            out.resize(start + made);
            return true;
        }
        room = 64 * 1024;
    }
    return false;
}

bool DeflateLibdeflate(int level, std::span<const uint8_t> data, bool last, ByteBuffer& out) {
    libdeflate_compressor* compressor = Compressor(level);
    if (!compressor) {
        return false;
    }
    size_t start = out.size();
    out.resize(start + libdeflate_deflate_compress_bound(compressor, data.size()));
    size_t made = libdeflate_deflate_compress(compressor, data.data(), data.size(),
                                              out.data() + start, out.size() - start);
    if (made == 0) {
        return false;
    }
    out.resize(start + made);
    return last || MakeJoinable(out, start);
}

// The bits of the input inflate has used (it keeps those of a byte it took but has not used).
uint64_t BitsTaken(const z_stream& z) {
    return z.total_in * 8 - static_cast<uint64_t>(z.data_type & 63);
}

}  // namespace

bool MakeJoinable(ByteBuffer& stream, size_t start) {
    // The last block's header is found by walking the blocks: zlib stops at each block boundary
    // and tells how many bits of the last byte it took.
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        return false;
    }
    thread_local std::vector<uint8_t> discard(64 * 1024);
    z.next_in = stream.data() + start;
    z.avail_in = static_cast<uInt>(stream.size() - start);
    uint64_t lastHeaderBit = 0;
    uint64_t endBit = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = discard.data();
        z.avail_out = static_cast<uInt>(discard.size());
        result = inflate(&z, Z_BLOCK);
        if (result == Z_OK && (z.data_type & 128)) {
            // At a block boundary: the next block's header, or, after the last block, the end
            // (before the padding to the byte that inflate skips next).
            ((z.data_type & 64) ? endBit : lastHeaderBit) = BitsTaken(z);
        }
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END || endBit == 0) {
        return false;
    }
    size_t end = static_cast<size_t>((endBit + 7) / 8);
    int unused = static_cast<int>(end * 8 - endBit);
    stream.resize(start + end);
    uint8_t* bytes = stream.data() + start;
    bytes[lastHeaderBit / 8] &= static_cast<uint8_t>(~(1u << (lastHeaderBit % 8)));
    // An empty stored block: three zero bits of header, padding to the byte, then LEN 0, NLEN.
    bytes[end - 1] &= static_cast<uint8_t>((1u << (8 - unused)) - 1);
    if (unused < 3) {
        stream.push_back(0);
    }
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

bool DeflatePiece(int level, std::span<const uint8_t> dictionary, std::span<const uint8_t> data,
                  bool last, ByteBuffer& out) {
    if (level <= kIsalLevel) {
        return DeflateIsal(dictionary, data, last, out);
    }
    return DeflateLibdeflate(level, data, last, out);
}

}  // namespace vantrel::ziplib
