// An entry's bytes are held to its declared size, in chunks (where libzip reads an entry: the
// encrypted ones).
#include "platform/ziplib/DeclaredSizeBound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::ziplib {
namespace {

TEST(DeclaredSizeBound, PassesUpToTheDeclaredSizeAndNoFurther) {
    struct Row {
        uint64_t declared;
        std::vector<size_t> chunks;
        size_t acceptedChunks;
        bool exceeded;
        bool whole;
    };
    const Row rows[] = {
        {10, {4, 6}, 2, false, true}, {10, {4, 7}, 1, true, false}, {10, {4, 6, 1}, 2, true, false},
        {10, {4}, 1, false, false},   {0, {1}, 0, true, false},
    };
    for (const Row& row : rows) {
        std::string passed;
        DeclaredSizeBound bound(row.declared, [&](const char* data, size_t size) {
            passed.append(data, size);
            return true;
        });
        std::string chunk(16, 'x');
        size_t accepted = 0;
        while (accepted < row.chunks.size() && bound(chunk.data(), row.chunks[accepted])) {
            ++accepted;
        }
        EXPECT_EQ(accepted, row.acceptedChunks) << row.declared;
        EXPECT_EQ(bound.Exceeded(), row.exceeded) << row.declared;
        EXPECT_EQ(bound.Whole(), row.whole) << row.declared;
        EXPECT_LE(passed.size(), row.declared);
    }
}

TEST(DeclaredSizeBound, AConsumerFailureIsNotAnExcess) {
    DeclaredSizeBound bound(10, [](const char*, size_t) { return false; });
    EXPECT_FALSE(bound("abc", 3) || bound.Exceeded());
}

}  // namespace
}  // namespace vantrel::ziplib
