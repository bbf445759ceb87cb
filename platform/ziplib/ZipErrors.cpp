#include "platform/ziplib/ZipErrors.h"

#include <cerrno>

#include "platform/ziplib/StatusCodes.h"

namespace vantrel::ziplib {

int32_t StatusOfZipError(int zipError, int systemError) {
    switch (zipError) {
        case ZIP_ER_OK:
            return status::kOk;
        case ZIP_ER_MULTIDISK:
            return status::kMultiVolume;
        case ZIP_ER_RENAME:
            return status::kReplaceArchive;
        case ZIP_ER_CLOSE:
            return status::kZipping;
        case ZIP_ER_SEEK:
        case ZIP_ER_READ:
        case ZIP_ER_EOF:
        case ZIP_ER_ZLIB:
        case ZIP_ER_COMPRESSED_DATA:
        case ZIP_ER_COMPNOTSUPP:
        case ZIP_ER_ENCRNOTSUPP:
            return status::kArchiveError;
        case ZIP_ER_WRITE:
            return systemError == ENOSPC || systemError == EDQUOT ? status::kDiskFull
                                                                  : status::kZipping;
        case ZIP_ER_CRC:
            return status::kCrc;
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
            return status::kOpenFile;
        case ZIP_ER_TMPOPEN:
            return status::kTempFile;
        case ZIP_ER_MEMORY:
            return status::kOutOfMemory;
        case ZIP_ER_NOZIP:
            return status::kFormat;
        case ZIP_ER_INCONS:
            return status::kStructure;
        case ZIP_ER_REMOVE:
            return status::kReplaceArchive;
        case ZIP_ER_EXISTS:
            return status::kRepeatedName;
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
            return status::kBadPassword;
        case ZIP_ER_CANCELLED:
            return status::kAborted;
        default:
            return status::kInternal;
    }
}

int32_t StatusOf(zip_error_t* error) {
    return StatusOfZipError(zip_error_code_zip(error), zip_error_code_system(error));
}

int32_t StatusOf(zip_t* archive) {
    return StatusOf(zip_get_error(archive));
}

int32_t StatusOf(zip_file_t* file) {
    return StatusOf(zip_file_get_error(file));
}

}  // namespace vantrel::ziplib
