// Both ways of decompressing an entry straight from the archive judge its data alike, for every
// method the library decodes itself.
#include "platform/ziplib/RawEntryInflate.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <cstdio>
#include <string>

#include "platform/ziplib/EntryDecoder.h"
#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {
namespace {

// data as an entry of the method holds it.
std::string Compressed(uint16_t method, const std::string& data) {
    std::string out(data.size() + 4096, '\0');
    size_t size = 0;
    auto in = reinterpret_cast<const uint8_t*>(data.data());
    auto into = reinterpret_cast<uint8_t*>(out.data());
    if (method == kMethodDeflated) {
        return testing::DeflatedZeros(data.size());
    }
    if (method == kMethodZstandard) {
        out.resize(ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3));
        return out;
    }
    if (method == kMethodXz) {
        lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr, in, data.size(), into, &size,
                                out.size());
        out.resize(size);
        return out;
    }
    // LZMA: the version and length of the properties, the properties, then the raw stream.
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    uint8_t properties[5];
    lzma_properties_encode(&filters[0], properties);
    lzma_raw_buffer_encode(filters, nullptr, in, data.size(), into, &size, out.size());
    out.resize(size);
    return std::string("\x09\x04\x05\x00", 4) + std::string(properties, properties + 5) + out;
}

TEST(RawEntryInflate, WholeAndStreamedAgreeOnEveryFault) {
    std::string data(3000000, '\0');
    uint32_t crc = testing::Crc(data);
    // The archive: 100 bytes of something else, the stored entry, then one entry of each method.
    std::string archive = std::string(100, 'x') + data;
    std::vector<RawEntry> sound = {{0, 100, data.size(), data.size(), crc, kMethodStored}};
    for (uint16_t method : {kMethodDeflated, kMethodLzma, kMethodZstandard, kMethodXz}) {
        std::string compressed = Compressed(method, data);
        sound.push_back({method, archive.size(), compressed.size(), data.size(), crc, method});
        archive += compressed;
    }
    FILE* file = std::tmpfile();
    ASSERT_EQ(std::fwrite(archive.data(), 1, archive.size(), file), archive.size());
    std::fflush(file);
    int fd = fileno(file);

    struct Case {
        const char* what;
        void (*change)(RawEntry&);
        int32_t expected;
    };
    const Case cases[] = {
        {"sound", [](RawEntry&) {}, LSZIP_OK},
        {"declares less", [](RawEntry& e) { e.size -= 1000; }, LSZIP_E_DAMAGED},
        {"declares more", [](RawEntry& e) { e.size += 1; }, LSZIP_E_DAMAGED},
        {"wrong CRC", [](RawEntry& e) { e.crc ^= 1; }, LSZIP_E_CRC},
        {"cut short", [](RawEntry& e) { e.compressedSize /= 2; }, LSZIP_E_DAMAGED},
        {"not its data", [](RawEntry& e) { e.dataOffset = 0; }, LSZIP_E_DAMAGED},
        {"unknown method", [](RawEntry& e) { e.method = 98; }, LSZIP_E_METHOD},
    };
    CallerHooks ticker({});
    for (const RawEntry& entry : sound) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", method " + std::to_string(entry.method));
            RawEntry changed = entry;
            c.change(changed);
            int32_t expected = c.expected;
            if (entry.method == kMethodStored && std::string_view(c.what) == "not its data") {
                expected = LSZIP_E_CRC;  // stored bytes are taken as they are
            }
            ByteBuffer whole;
            EXPECT_EQ(InflateWhole(fd, changed, whole), expected);
            std::string streamed;
            EXPECT_EQ(InflateStreamed(fd, changed, ticker,
                                      [&](const char* bytes, size_t size) {
                                          streamed.append(bytes, size);
                                          return true;
                                      }),
                      expected);
            EXPECT_LE(streamed.size(), changed.size);  // never a byte past the declared size
            if (expected == LSZIP_OK) {
                EXPECT_TRUE(std::string(whole.begin(), whole.end()) == data);
                EXPECT_TRUE(streamed == data);
            }
        }
    }
    std::fclose(file);
}

}  // namespace
}  // namespace vantrel::ziplib
