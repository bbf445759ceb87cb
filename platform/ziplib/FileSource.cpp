#include "platform/ziplib/FileSource.h"

#include <unistd.h>

#include <cerrno>

#include "platform/ziplib/SourceCallback.h"

namespace vantrel::ziplib {

namespace {

struct FileState {
    const SourceFile& file;
    SourceReading& reading;
    platform::UniqueFd fd;
    zip_error_t error;
};

using source::Fail;

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto& state = *static_cast<FileState*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        case ZIP_SOURCE_OPEN:
            state.fd = state.reading.opener.Open(state.file);
            return state.fd ? 0 : Fail(state, ZIP_ER_OPEN, errno);
        case ZIP_SOURCE_READ: {
            ssize_t got;
            do {
                got = ::read(state.fd.Get(), data, length);
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                return Fail(state, ZIP_ER_READ, errno);
            }
            state.reading.bytesRead += static_cast<uint64_t>(got);
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            state.fd.Reset();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = static_cast<zip_uint64_t>(state.file.info.st_size);
            st->mtime = state.file.info.st_mtime;
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        default:
            return source::AnswerCommon(state, data, length, cmd);
    }
}

}  // namespace

zip_source_t* NewFileSource(zip_t* za, const SourceFile& file, SourceReading& reading) {
    auto* state = new FileState{file, reading, {}, {}};
    return source::NewSource(za, Callback, state);
}

}  // namespace vantrel::ziplib
