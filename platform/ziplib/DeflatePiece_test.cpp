#include "platform/ziplib/DeflatePiece.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace vantrel::ziplib {
namespace {

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& deflated, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<uint8_t*>(deflated.data());
    z.avail_in = static_cast<uInt>(deflated.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    bool whole = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : std::vector<uint8_t>{};
}

std::vector<uint8_t> Sample(const std::string& kind, size_t size) {
    std::vector<uint8_t> data;
    std::mt19937 random(7);
    const std::string words[] = {"archive ", "entry ", "folder ", "deflate ", "window\n"};
    while (data.size() < size) {
        if (kind == "random") {
            data.push_back(static_cast<uint8_t>(random()));
        } else if (kind == "text") {
            const std::string& word = words[random() % 5];
            data.insert(data.end(), word.begin(), word.end());
        } else {
            data.push_back(0);
        }
    }
    data.resize(size);
    return data;
}

// Pieces deflated one by one, each with the window before it, join into one stream that inflates
// to the input, whatever the level, the data and where the pieces are cut.
TEST(DeflatePiece, PiecesJoinIntoOneStream) {
    struct Case {
        int level;
        std::string kind;
        size_t size;
        size_t piece;
    };
    const Case cases[] = {
        {1, "text", 300000, 65536},  {2, "text", 300000, 65536},   {5, "text", 1000000, 100003},
        {9, "text", 200000, 50000},  {5, "random", 200000, 70000}, {1, "random", 200000, 70000},
        {5, "zeros", 500000, 32768}, {1, "zeros", 500000, 32768},  {6, "text", 100, 40},
        {5, "text", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + " " + c.kind + " size " +
                     std::to_string(c.size));
        std::vector<uint8_t> input = Sample(c.kind, c.size);
        std::vector<uint8_t> joined;
        size_t offset = 0;
        do {
            size_t length = std::min(c.piece, c.size - offset);
            size_t window = std::min(offset, kDeflateWindow);
            std::span<const uint8_t> dictionary(input.data() + offset - window, window);
            bool last = offset + length == c.size;
            ASSERT_TRUE(
                DeflatePiece(c.level, dictionary, {input.data() + offset, length}, last, joined));
            offset += length;
        } while (offset < c.size);
        EXPECT_EQ(Inflate(joined, c.size), input);
        if (c.kind == "text" && c.size > 1000) {
            EXPECT_LT(joined.size(), c.size / 3);
        }
    }
}

TEST(DeflatePiece, OnlyWholeStreamsAreMadeJoinable) {
    std::vector<uint8_t> garbage = {0xFF, 0xFF, 0xFF, 0x01, 0x02};
    EXPECT_FALSE(MakeJoinable(garbage, garbage.size()));
    std::vector<uint8_t> cut;
    std::vector<uint8_t> input = Sample("text", 50000);
    ASSERT_TRUE(DeflatePiece(5, {}, input, true, cut));
    EXPECT_FALSE(MakeJoinable(cut, cut.size() / 2));
}

}  // namespace
}  // namespace vantrel::ziplib
