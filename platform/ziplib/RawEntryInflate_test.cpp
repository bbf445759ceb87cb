// Both ways of inflating an entry straight from the archive judge its data alike.
#include "platform/ziplib/RawEntryInflate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {
namespace {

TEST(RawEntryInflate, WholeAndStreamedAgreeOnEveryFault) {
    uint32_t crc = 0;
    std::string deflated = testing::DeflatedZeros(3000000, &crc);
    std::string data(3000000, '\0');
    // The archive: 100 bytes of something else, the deflated entry, then the stored one.
    std::string archive = std::string(100, 'x') + deflated + data;
    FILE* file = std::tmpfile();
    ASSERT_EQ(std::fwrite(archive.data(), 1, archive.size(), file), archive.size());
    std::fflush(file);
    int fd = fileno(file);

    RawEntry good{0, 100, deflated.size(), data.size(), crc, true};
    RawEntry stored{1, 100 + deflated.size(), data.size(), data.size(), crc, false};
    struct Case {
        const char* what;
        RawEntry entry;
        int32_t expected;
    };
    auto with = [](RawEntry entry, auto change) {
        change(entry);
        return entry;
    };
    const Case cases[] = {
        {"sound", good, LSZIP_OK},
        {"sound, stored", stored, LSZIP_OK},
        {"declares less", with(good, [](RawEntry& e) { e.size -= 1000; }), LSZIP_E_DAMAGED},
        {"declares more", with(good, [](RawEntry& e) { e.size += 1; }), LSZIP_E_DAMAGED},
        {"wrong CRC", with(good, [](RawEntry& e) { e.crc ^= 1; }), LSZIP_E_CRC},
        {"cut short", with(good, [](RawEntry& e) { e.compressedSize /= 2; }), LSZIP_E_DAMAGED},
        {"not deflate data", with(good, [](RawEntry& e) { e.dataOffset = 0; }), LSZIP_E_DAMAGED},
        {"stored, sizes differ", with(stored, [](RawEntry& e) { e.size -= 1; }), LSZIP_E_DAMAGED},
    };
    CallerHooks ticker({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> whole;
        EXPECT_EQ(InflateWhole(fd, c.entry, whole), c.expected);
        std::string streamed;
        EXPECT_EQ(InflateStreamed(fd, c.entry, ticker,
                                  [&](const char* bytes, size_t size) {
                                      streamed.append(bytes, size);
                                      return true;
                                  }),
                  c.expected);
        EXPECT_LE(streamed.size(), c.entry.size);  // never a byte past the declared size
        if (c.expected == LSZIP_OK) {
            EXPECT_EQ(std::string(whole.begin(), whole.end()), data);
            EXPECT_EQ(streamed, data);
        }
    }
    std::fclose(file);
}

}  // namespace
}  // namespace vantrel::ziplib
