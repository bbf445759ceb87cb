#include "component/archive/StatusMessage.h"

#include <gtest/gtest.h>

#include "platform/ziplib/lszip.h"

namespace vantrel {
namespace {

TEST(StatusMessage, EveryStatusTheLibraryNamesHasItsOwnText) {
    for (int32_t code : {LSZIP_E_NOT_MATCHED,
                         LSZIP_E_FORMAT,
                         LSZIP_E_DAMAGED,
                         LSZIP_E_MEMORY,
                         LSZIP_E_OPEN,
                         LSZIP_E_ARGUMENT,
                         LSZIP_E_CRC,
                         LSZIP_E_METHOD,
                         LSZIP_E_ABORTED,
                         LSZIP_E_DISK_FULL,
                         LSZIP_E_STRUCTURE,
                         LSZIP_E_PASSWORD,
                         LSZIP_E_ARCHIVE_PATH,
                         LSZIP_E_REFUSED,
                         LSZIP_E_MULTI_VOLUME,
                         LSZIP_E_REPEATED_NAME,
                         LSZIP_E_LIST,
                         LSZIP_E_EMPTY,
                         LSZIP_E_NOTHING_TO_ADD,
                         LSZIP_E_NOTHING_TO_DELETE,
                         LSZIP_E_CREATE,
                         LSZIP_E_TEMP_FILE,
                         LSZIP_E_WRITE,
                         LSZIP_E_MOVE,
                         LSZIP_E_REPLACE}) {
        EXPECT_NE(StatusMessage(code), "Un-identified Error.") << code;
    }
    EXPECT_EQ(StatusMessage(LSZIP_OK), "Operation complete, no errors.");
    EXPECT_EQ(StatusMessage(LSZIP_E_NOTHING_TO_ADD), StatusMessage(LSZIP_E_NOTHING_TO_DELETE));
}

TEST(StatusMessage, CodesBesideAndBeyondTheTableAreUnidentified) {
    for (int32_t code : {1, -5, -190, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(StatusMessage(code), "Un-identified Error.") << code;
    }
    EXPECT_EQ(StatusMessage(-189), "Replace archive error.");
}

}  // namespace
}  // namespace vantrel
