#include "platform/ziplib/EntryDecoder.h"

#include <isa-l/igzip_lib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vantrel::ziplib {

namespace {

using Result = EntryDecoder::Result;

// What one XZ entry's decoder may take: the largest dictionaries common programs choose (64 MiB)
// fit, an archive asking for gigabytes per entry does not. Zstandard keeps to its own default
// (windows up to 128 MiB).
constexpr uint64_t kXzMemoryLimit = 1u << 30;
// An LZMA entry's properties: the literal and position bits, then the dictionary size.
constexpr size_t kLzmaPropertiesSize = 5;

size_t Fit32(size_t value) {
    return std::min<size_t>(value, std::numeric_limits<uint32_t>::max());
}

class DeflateDecoder : public EntryDecoder {
  public:
    DeflateDecoder() { isal_inflate_init(&state_); }

    Result Decode(const uint8_t*& input, size_t& available, bool, uint8_t* output, size_t room,
                  size_t& produced) override {
        state_.next_in = const_cast<uint8_t*>(input);
        state_.avail_in = static_cast<uint32_t>(Fit32(available));
        uint32_t given = state_.avail_in;
        state_.next_out = output;
        state_.avail_out = static_cast<uint32_t>(Fit32(room));
        uint32_t space = state_.avail_out;
        int result = isal_inflate(&state_);
        input += given - state_.avail_in;
        available -= given - state_.avail_in;
        produced = space - state_.avail_out;
        if (result < 0) {
            return Result::Damaged;
        }
        return state_.block_state == ISAL_BLOCK_FINISH ? Result::Ended : Result::Going;
    }

  private:
    inflate_state state_{};
};

// liblzma's results as a decoder's.
Result FromLzma(lzma_ret result, bool last) {
    switch (result) {
        case LZMA_OK:
            return Result::Going;
        case LZMA_STREAM_END:
            return Result::Ended;
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR:
            return Result::OutOfMemory;
        case LZMA_BUF_ERROR:
            return last ? Result::Damaged : Result::Going;
        default:
            return Result::Damaged;
    }
}

class LzmaStreamDecoder : public EntryDecoder {
  public:
    ~LzmaStreamDecoder() override { lzma_end(&stream_); }

    Result Decode(const uint8_t*& input, size_t& available, bool last, uint8_t* output, size_t room,
                  size_t& produced) override {
        produced = 0;
        if (!started_) {
            Result ready = Start(input, available);
            if (ready != Result::Going || !started_) {
                return ready == Result::Going && last ? Result::Damaged : ready;
            }
        }
        stream_.next_in = input;
        stream_.avail_in = available;
        stream_.next_out = output;
        stream_.avail_out = room;
        lzma_ret result = lzma_code(&stream_, last ? LZMA_FINISH : LZMA_RUN);
        input = stream_.next_in;
        available = stream_.avail_in;
        produced = room - stream_.avail_out;
        return FromLzma(result, last);
    }

  protected:
    // Sets the stream up once enough of the input has come; Going (started_ still false) while
    // it waits for more.
    virtual Result Start(const uint8_t*& input, size_t& available) = 0;

    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool started_ = false;
};

class XzDecoder : public LzmaStreamDecoder {
  protected:
    Result Start(const uint8_t*&, size_t&) override {
        started_ = true;
        return FromLzma(lzma_stream_decoder(&stream_, kXzMemoryLimit, 0), false);
    }
};

// An LZMA entry begins with the version of the program that wrote it (two bytes), the length of
// the properties (two bytes, 5) and the properties; raw LZMA data follows, with an end marker or
// ending at the entry's size.
class LzmaDecoder : public LzmaStreamDecoder {
  public:
    explicit LzmaDecoder(uint64_t size) : size_(size) {}

  protected:
    Result Start(const uint8_t*& input, size_t& available) override {
        constexpr size_t kHeader = 4 + kLzmaPropertiesSize;
        size_t taken = std::min(available, kHeader - header_.size);
        std::memcpy(header_.bytes + header_.size, input, taken);
        header_.size += taken;
        input += taken;
        available -= taken;
        if (header_.size < kHeader) {
            return Result::Going;
        }
        if ((header_.bytes[2] | (header_.bytes[3] << 8)) != kLzmaPropertiesSize) {
            return Result::Damaged;
        }
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, header_.bytes + 4, kLzmaPropertiesSize) !=
            LZMA_OK) {
            return Result::Damaged;
        }
        auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
        options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        lzma_set_ext_size(*options, size_);
        // Nothing is ever looked up further back than the entry is long.
        if (size_ < options->dict_size) {
            options->dict_size =
                static_cast<uint32_t>(std::max<uint64_t>(size_, LZMA_DICT_SIZE_MIN));
        }
        lzma_ret result = lzma_raw_decoder(&stream_, filters);
        std::free(options);
        started_ = true;
        return FromLzma(result, false);
    }

  private:
    uint64_t size_;
    struct {
        uint8_t bytes[4 + kLzmaPropertiesSize] = {};
        size_t size = 0;
    } header_;
};

// Zstandard data is one frame or several after each other.
class ZstandardDecoder : public EntryDecoder {
  public:
    ZstandardDecoder() : context_(ZSTD_createDCtx()) {}
    ~ZstandardDecoder() override { ZSTD_freeDCtx(context_); }

    Result Decode(const uint8_t*& input, size_t& available, bool last, uint8_t* output, size_t room,
                  size_t& produced) override {
        produced = 0;
        if (!context_) {
            return Result::OutOfMemory;
        }
        ZSTD_inBuffer in{input, available, 0};
        ZSTD_outBuffer out{output, room, 0};
        size_t result = ZSTD_decompressStream(context_, &out, &in);
        input += in.pos;
        available -= in.pos;
        produced = out.pos;
        if (ZSTD_isError(result)) {
            ZSTD_ErrorCode code = ZSTD_getErrorCode(result);
            return code == ZSTD_error_memory_allocation ||
                           code == ZSTD_error_frameParameter_windowTooLarge
                       ? Result::OutOfMemory
                       : Result::Damaged;
        }
        return result == 0 && available == 0 && last ? Result::Ended : Result::Going;
    }

  private:
    ZSTD_DCtx* context_;
};

}  // namespace

bool IsReadableMethod(uint16_t method) {
    return method == kMethodStored || method == kMethodBzip2 || EntryDecoder::Decodes(method);
}

bool EntryDecoder::Decodes(uint16_t method) {
    return method == kMethodDeflated || method == kMethodLzma || method == kMethodZstandard ||
           method == kMethodXz;
}

std::unique_ptr<EntryDecoder> EntryDecoder::For(uint16_t method, uint64_t size) {
    switch (method) {
        case kMethodDeflated:
            return std::make_unique<DeflateDecoder>();
        case kMethodLzma:
            return std::make_unique<LzmaDecoder>(size);
        case kMethodZstandard:
            return std::make_unique<ZstandardDecoder>();
        case kMethodXz:
            return std::make_unique<XzDecoder>();
        default:
            return nullptr;
    }
}

}  // namespace vantrel::ziplib
