#include "platform/ziplib/ZipErrors.h"

#include <cerrno>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

int32_t StatusOfZipError(int zipError, int systemError) {
    switch (zipError) {
        case ZIP_ER_OK:
            return LSZIP_OK;
        case ZIP_ER_MULTIDISK:
            return LSZIP_E_MULTI_VOLUME;
        case ZIP_ER_RENAME:
            return LSZIP_E_REPLACE;
        case ZIP_ER_CLOSE:
            return LSZIP_E_WRITE;
        case ZIP_ER_SEEK:
        case ZIP_ER_READ:
        case ZIP_ER_EOF:
        case ZIP_ER_ZLIB:
        case ZIP_ER_COMPRESSED_DATA:
        case ZIP_ER_ENCRNOTSUPP:
            return LSZIP_E_DAMAGED;
        case ZIP_ER_COMPNOTSUPP:
            return LSZIP_E_METHOD;
        case ZIP_ER_WRITE:
            return systemError == ENOSPC || systemError == EDQUOT ? LSZIP_E_DISK_FULL
                                                                  : LSZIP_E_WRITE;
        case ZIP_ER_CRC:
            return LSZIP_E_CRC;
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
            return LSZIP_E_OPEN;
        case ZIP_ER_TMPOPEN:
            // The new archive is written beside the old one: a folder that refuses it refuses
            // the archive, and a full disk is a full disk.
            if (systemError == EACCES || systemError == EPERM || systemError == EROFS) {
                return LSZIP_E_CREATE;
            }
            return systemError == ENOSPC || systemError == EDQUOT ? LSZIP_E_DISK_FULL
                                                                  : LSZIP_E_TEMP_FILE;
        case ZIP_ER_MEMORY:
            return LSZIP_E_MEMORY;
        case ZIP_ER_NOZIP:
            return LSZIP_E_FORMAT;
        case ZIP_ER_INCONS:
            return LSZIP_E_STRUCTURE;
        case ZIP_ER_REMOVE:
            return LSZIP_E_REPLACE;
        case ZIP_ER_EXISTS:
            return LSZIP_E_REPEATED_NAME;
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
            return LSZIP_E_PASSWORD;
        case ZIP_ER_CANCELLED:
            return LSZIP_E_ABORTED;
        default:
            return LSZIP_E_ARGUMENT;
    }
}

int32_t StatusOf(zip_error_t* error) {
    return StatusOfZipError(zip_error_code_zip(error), zip_error_code_system(error));
}

int32_t StatusOf(zip_t* archive) {
    return StatusOf(zip_get_error(archive));
}

int SystemErrorOf(zip_t* archive) {
    zip_error_t* error = zip_get_error(archive);
    return zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : 0;
}

int32_t StatusOf(zip_file_t* file) {
    return StatusOf(zip_file_get_error(file));
}

}  // namespace vantrel::ziplib
