#pragma once
// libzip's error codes mapped to the library's status codes.

#include <cstdint>

#include <zip.h>

namespace vantrel::ziplib {

int32_t StatusOfZipError(int zipError, int systemError = 0);
int32_t StatusOf(zip_error_t* error);
int32_t StatusOf(zip_t* archive);
int32_t StatusOf(zip_file_t* file);
// The system's error (errno) behind the archive's last error; 0 when it has none.
int SystemErrorOf(zip_t* archive);

}  // namespace vantrel::ziplib
