#pragma once
// Decompresses an entry's data piece by piece for the methods this library decodes itself:
// deflate (8, with ISA-L), LZMA (14, with liblzma), Zstandard (93, with libzstd) and XZ (95, with
// liblzma). libzip decodes bzip2 (12); every other method is unsupported.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantrel::ziplib {

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodBzip2 = 12;
inline constexpr uint16_t kMethodLzma = 14;
inline constexpr uint16_t kMethodZstandard = 93;
inline constexpr uint16_t kMethodXz = 95;

// Whether this library reads entries of the method, by itself or through libzip.
bool IsReadableMethod(uint16_t method);

class EntryDecoder {
  public:
    enum class Result {
        Going,        // more input or room is needed
        Ended,        // the data ended where it should
        Damaged,      // the data cannot be decoded
        OutOfMemory,  // the data asks for more memory than a decoder may take
    };

    // A decoder for the method, null for one it does not decode. size is the entry's declared
    // size: an LZMA entry without an end marker ends there.
    static std::unique_ptr<EntryDecoder> For(uint16_t method, uint64_t size);
    // Whether For gives a decoder for the method.
    static bool Decodes(uint16_t method);

    virtual ~EntryDecoder() = default;

    // Decodes from input (advancing it and lowering available) into room bytes at output, and
    // says how many it produced. last tells that no input follows what is given now.
    virtual Result Decode(const uint8_t*& input, size_t& available, bool last, uint8_t* output,
                          size_t room, size_t& produced) = 0;
};

}  // namespace vantrel::ziplib
