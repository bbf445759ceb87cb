#pragma once
// What the two libzip sources of a source file (FileSource: read as it is; DeflatedSource:
// deflated ahead on the workers) do alike. Their states hold the file, its SourceReading and
// libzip's error.

#include <zip.h>

namespace vantrel::ziplib::source {

// Notes the error for libzip and the first file whose reading failed; -1 for libzip.
template <typename State>
zip_int64_t Fail(State& state, int zipError, int systemError) {
    zip_error_set(&state.error, zipError, systemError);
    if (!state.reading.failed) {
        state.reading.failed = &state.file;
    }
    return -1;
}

// The commands every source answers alike: its error, its end (the state goes with it), and any
// command it does not know.
template <typename State>
zip_int64_t AnswerCommon(State& state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    switch (cmd) {
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&state.error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&state.error);
            delete &state;
            return 0;
        default:
            zip_error_set(&state.error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

// A libzip source over a new state, which the source owns from then on; nullptr (the state gone
// too) when libzip cannot make it.
template <typename State>
zip_source_t* NewSource(zip_t* za, zip_source_callback callback, State* state) {
    zip_error_init(&state->error);
    zip_source_t* made = zip_source_function(za, callback, state);
    if (!made) {
        zip_error_fini(&state->error);
        delete state;
    }
    return made;
}

}  // namespace vantrel::ziplib::source
