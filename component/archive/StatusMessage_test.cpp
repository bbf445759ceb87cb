#include "component/archive/StatusMessage.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

// The whole table, written out once more so that any drift in a text or code shows.
const std::map<int32_t, std::string> kTable = {
    {0, "Operation complete, no errors."},
    {-1, "FileName not matched."},
    {-2, "ZIP format error."},
    {-3, "Error in ZIP archive."},
    {-4, "Out of memory."},
    {-153, "Out of memory."},
    {-154, "Out of memory."},
    {-155, "Out of memory."},
    {-156, "Out of memory."},
    {-165, "Out of memory."},
    {-174, "Out of memory."},
    {-176, "Out of memory."},
    {-181, "Out of memory."},
    {-9, "Open file error."},
    {-11, "Internal error."},
    {-60, "Internal error."},
    {-158, "Internal error."},
    {-172, "Internal error."},
    {-177, "Internal error."},
    {-188, "Internal error."},
    {-15, "CRC-32 error."},
    {-30, "Operation aborted."},
    {-50, "Disk full error."},
    {-51, "ZIP archive structure error."},
    {-61, "Bad or missing decryption key."},
    {-151, "Invalid ZIP archive name."},
    {-152, "Invalid file specification."},
    {-157, "Cannot support multiple volumes on this device."},
    {-159, "FileName Not Matched."},
    {-162, "Cannot repeat names in ZIP archive')."},
    {-163, "List processing error."},
    {-164, "ZIP archive is empty."},
    {-166, "ZIP archive is empty."},
    {-171, "ZIP archive is empty."},
    {-173, "ZIP archive is empty."},
    {-167, "Nothing to do."},
    {-168, "Nothing to do."},
    {-169, "Create file error."},
    {-170, "Memory error."},
    {-175, "Temporary file error."},
    {-186, "Temporary file error."},
    {-178, "Zipping error."},
    {-182, "Zipping error."},
    {-179, "Copying error."},
    {-180, "Copying error."},
    {-183, "Write central directory error."},
    {-184, "Write end of central directory error."},
    {-185, "Disk spanning error."},
    {-187, "Disk spanning error."},
    {-189, "Replace archive error."}};

TEST(StatusMessage, EveryCodeFromMinus200ToPlus5HasItsText) {
    for (int32_t code = -200; code <= 5; ++code) {
        auto known = kTable.find(code);
        std::string expected = known != kTable.end() ? known->second : "Un-identified Error.";
        EXPECT_EQ(StatusMessage(code), expected) << code;
    }
}

TEST(StatusMessage, CodesFarOutsideTheTableAreUnidentified) {
    for (int32_t code : {INT32_MIN, -100000, 100000, INT32_MAX}) {
        EXPECT_EQ(StatusMessage(code), "Un-identified Error.");
    }
}

}  // namespace
}  // namespace vantrel
