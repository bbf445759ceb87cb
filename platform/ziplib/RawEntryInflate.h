#pragma once
// Inflates an entry's data straight from the archive's descriptor (ISA-L for a stream, libdeflate
// for a whole entry, both several times zlib's speed; LZMA, XZ and Zstandard through their own
// libraries) and checks it as libzip would: never a byte past the size the central directory
// declares, an entry that ends short of it or does not decompress is damaged (-3), one whose data
// does not match its CRC fails with -15. Only for entries without encryption, stored or of a
// method EntryDecoder decodes; the offsets come from the span check, so the data lies inside the
// archive and belongs to this entry alone.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ziplib/ByteBuffer.h"
#include "platform/ziplib/CallerHooks.h"

namespace vantrel::ziplib {

struct RawEntry {
    uint64_t index = 0;
    uint64_t dataOffset = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;  // declared
    uint32_t crc = 0;
    uint16_t method = 0;  // stored, or one EntryDecoder decodes
};

// Entries up to this size (declared and compressed) are inflated whole, in memory.
inline constexpr uint64_t kWholeEntryLimit = 8 << 20;

// The entry inflated into out (resized to its size); a status code. Safe on a worker thread: it
// only reads from fd.
int32_t InflateWhole(int fd, const RawEntry& entry, ByteBuffer& out);

// Streams the entry to consume (false from it gives -169), ticking as it goes; a status code.
int32_t InflateStreamed(int fd, const RawEntry& entry, CallerHooks& ticker,
                        const std::function<bool(const char*, size_t)>& consume);

}  // namespace vantrel::ziplib
