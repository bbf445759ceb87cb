// The zip library's listing and test of an archive given as bytes, through its C interface as the
// component drives it: the listing delivers exactly the entries it counted, every record is
// terminated text, and neither call writes anything.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/files/TestDrive.h"
#include "platform/ziplib/lszip.h"

namespace {

constexpr int32_t kFullNameSize = 65536;

bool Terminated(const char* text, size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

void ListEntries(std::string archive) {
    LSUZ_RESET();
    LSUZ_ZIPNAME(archive.data());
    int32_t count = LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST);
    std::vector<char> fullName(kFullNameSize);
    for (int32_t i = 0; i < count; ++i) {
        ZipEntryRecord record;
        std::memset(&record, 'Z', sizeof record);
        std::memset(fullName.data(), 'Z', fullName.size());
        int64_t size = 0, compressedSize = 0;
        if (LSUZ_GETNEXTEX(&record, fullName.data(), kFullNameSize, &size, &compressedSize) != 0) {
            continue;  // a damaged entry; the listing goes on with the next
        }
        FUZZ_CHECK(Terminated(record.name, sizeof record.name));
        FUZZ_CHECK(Terminated(record.comment, sizeof record.comment));
        FUZZ_CHECK(Terminated(fullName.data(), fullName.size()));
        FUZZ_CHECK(size >= 0 && compressedSize >= 0);
    }
    if (count >= 0) {
        ZipEntryRecord record;
        FUZZ_CHECK(LSUZ_GETNEXT(&record) == LSZIP_E_EMPTY);
    }
    LSUZ_RESET();
}

int32_t TestArchive(std::string archive) {
    std::string everything;
    LSUZ_RESET();
    LSUZ_ZIPNAME(archive.data());
    LSUZ_INCLUDE(everything.data());
    int32_t code = LSUZ_EXECUTE(LSUZ_TEST, LSUZ_FLAG_TEST);
    LSUZ_RESET();
    return code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vantrel::platform::testing::TestDrive drive;
    drive.PutOnly("fuzz.zip", data, size);
    ListEntries("c:\\fuzz.zip");
    FUZZ_CHECK(TestArchive("c:\\fuzz.zip") <= 0);
    FUZZ_CHECK(drive.Names() == std::vector<std::string>{"fuzz.zip"});
    FUZZ_CHECK(drive.Read("fuzz.zip") == std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
