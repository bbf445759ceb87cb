#pragma once
// Deflates one piece of a file into raw deflate data that joins with the pieces before and after
// it into one stream, so a large file is compressed on several cores at once: every piece but the
// last ends on a byte boundary without the final-block mark. Level 1 uses ISA-L (fastest, about
// zlib's level 1 in size), levels 2 to 9 libdeflate (smaller and faster than zlib at each level),
// so higher levels stay smaller.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/ziplib/ByteBuffer.h"

namespace vantrel::ziplib {

// The deflate window: what a piece may refer back to.
inline constexpr size_t kDeflateWindow = 32 * 1024;

// Appends the deflated data to out; dictionary holds up to kDeflateWindow bytes that come just
// before data in the file (level 1 refers back into them; libdeflate has no way to). False only
// when an engine fails (out of memory).
bool DeflatePiece(int level, std::span<const uint8_t> dictionary, std::span<const uint8_t> data,
                  bool last, ByteBuffer& out);

// Clears the final-block mark of the complete raw deflate stream that fills stream from start on
// and ends it with an empty stored block, so that further blocks can follow; stream is cut to the
// joinable data. False when the data is not one whole deflate stream.
bool MakeJoinable(ByteBuffer& stream, size_t start);

}  // namespace vantrel::ziplib
