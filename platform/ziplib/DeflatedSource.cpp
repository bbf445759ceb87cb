#include "platform/ziplib/DeflatedSource.h"

#include <cerrno>

#include "platform/ziplib/SourceCallback.h"

namespace vantrel::ziplib {

namespace {

struct DeflatedState {
    const SourceFile& file;
    SourceReading& reading;
    ParallelDeflater& deflater;
    size_t number;
    int level;
    zip_error_t error;
};

using source::Fail;

// The general-purpose bits 1 and 2 that tell how hard an entry was deflated, as zip tools write
// them: 1 and 2 "fast", 8 and 9 "maximum", others "normal".
uint16_t RateFlags(int level) {
    return level <= 2 ? 0x4 : level >= 8 ? 0x2 : 0;
}

zip_int64_t Stat(DeflatedState& state, void* data) {
    auto* st = static_cast<zip_stat_t*>(data);
    zip_stat_init(st);
    const ParallelDeflater& deflater = state.deflater;
    st->mtime = state.file.info.st_mtime;
    st->comp_method = ZIP_CM_DEFLATE;
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
    if (deflater.Finished(state.number)) {
        st->size = deflater.Size(state.number);
        st->comp_size = deflater.DeflatedSize(state.number);
        st->crc = deflater.Crc(state.number);
        st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
    } else {
        st->size = static_cast<zip_uint64_t>(state.file.info.st_size);
    }
    return sizeof(zip_stat_t);
}

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto& state = *static_cast<DeflatedState*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
        case ZIP_SOURCE_OPEN:
            if (int error = state.deflater.Open(state.number); error != 0) {
                return Fail(state, ZIP_ER_OPEN, error);
            }
            return 0;
        case ZIP_SOURCE_READ: {
            int64_t got = state.deflater.Read(state.number, data, length);
            if (got < 0) {
                return Fail(state, ZIP_ER_READ, errno);
            }
            if (got == 0) {
                state.reading.bytesRead += state.deflater.Size(state.number);
            }
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            state.deflater.Close(state.number);
            return 0;
        case ZIP_SOURCE_STAT:
            return Stat(state, data);
        case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
            auto* attributes = static_cast<zip_file_attributes_t*>(data);
            if (length < sizeof *attributes) {
                zip_error_set(&state.error, ZIP_ER_INVAL, 0);
                return -1;
            }
            attributes->valid |= ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
            attributes->general_purpose_bit_flags = RateFlags(state.level);
            attributes->general_purpose_bit_mask = 0x6;
            return sizeof *attributes;
        }
        default:
            return source::AnswerCommon(state, data, length, cmd);
    }
}

}  // namespace

zip_source_t* NewDeflatedSource(zip_t* za, const SourceFile& file, SourceReading& reading,
                                ParallelDeflater& deflater, size_t number, int level) {
    auto* state = new DeflatedState{file, reading, deflater, number, level, {}};
    return source::NewSource(za, Callback, state);
}

}  // namespace vantrel::ziplib
