#include "component/archive/StatusMessage.h"

#include <array>
#include <initializer_list>

namespace vantrel {

namespace {

constexpr int32_t kLowestCode = -189;
constexpr const char* kUnidentified = "Un-identified Error.";

struct Row {
    const char* text;
    std::initializer_list<int32_t> codes;
};

// Several codes share one text; the texts stand exactly as users have always seen them (-16, for
// entries of a compression method the library cannot read, joined them later).
const Row kRows[] = {
    {"Operation complete, no errors.", {0}},
    {"FileName not matched.", {-1}},
    {"ZIP format error.", {-2}},
    {"Error in ZIP archive.", {-3}},
    {"Out of memory.", {-4, -153, -154, -155, -156, -165, -174, -176, -181}},
    {"Open file error.", {-9}},
    {"Internal error.", {-11, -60, -158, -172, -177, -188}},
    {"CRC-32 error.", {-15}},
    {"Unsupported compression method.", {-16}},
    {"Operation aborted.", {-30}},
    {"Disk full error.", {-50}},
    {"ZIP archive structure error.", {-51}},
    {"Bad or missing decryption key.", {-61}},
    {"Invalid ZIP archive name.", {-151}},
    {"Invalid file specification.", {-152}},
    {"Cannot support multiple volumes on this device.", {-157}},
    {"FileName Not Matched.", {-159}},
    {"Cannot repeat names in ZIP archive').", {-162}},
    {"List processing error.", {-163}},
    {"ZIP archive is empty.", {-164, -166, -171, -173}},
    {"Nothing to do.", {-167, -168}},
    {"Create file error.", {-169}},
    {"Memory error.", {-170}},
    {"Temporary file error.", {-175, -186}},
    {"Zipping error.", {-178, -182}},
    {"Copying error.", {-179, -180}},
    {"Write central directory error.", {-183}},
    {"Write end of central directory error.", {-184}},
    {"Disk spanning error.", {-185, -187}},
    {"Replace archive error.", {-189}},
};

using Table = std::array<const char*, 1 - kLowestCode>;

Table BuildTable() {
    Table table;
    table.fill(kUnidentified);
    for (const Row& row : kRows) {
        for (int32_t code : row.codes) {
            table[code - kLowestCode] = row.text;
        }
    }
    return table;
}

}  // namespace

std::string StatusMessage(const int32_t& code) {
    static const Table table = BuildTable();
    if (code < kLowestCode || code > 0) {
        return kUnidentified;
    }
    return table[code - kLowestCode];
}

}  // namespace vantrel
