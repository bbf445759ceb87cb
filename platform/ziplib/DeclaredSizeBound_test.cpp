// An entry's bytes are held to its declared size, in chunks and through libzip.
#include "platform/ziplib/DeclaredSizeBound.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <vector>

#include "platform/ziplib/RawArchiveBuilder.h"

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

// libzip alone reads this entry to its full megabyte with no error; the bound stops it.
TEST(DeclaredSizeBound, StopsAnEntryThatInflatesPastItsDeclaredSize) {
    std::string bytes = testing::LyingSizeArchive(1024, 1 << 20);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, nullptr);
    zip_t* za = zip_open_from_source(source, ZIP_RDONLY, nullptr);
    ASSERT_NE(za, nullptr);
    zip_stat_t stat;
    zip_stat_index(za, 0, 0, &stat);
    uint64_t written = 0;
    DeclaredSizeBound bound(stat.size, [&](const char*, size_t size) {
        written += size;
        return true;
    });
    DeclaredSizeBound::Consumer consume = std::ref(bound);
    zip_file_t* file = zip_fopen_index(za, 0, 0);
    std::vector<char> buffer(256);
    zip_int64_t got = 0;
    int reads = 0;
    while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0 &&
           consume(buffer.data(), static_cast<size_t>(got))) {
        ++reads;
    }
    zip_fclose(file);
    zip_discard(za);
    EXPECT_TRUE(bound.Exceeded());
    EXPECT_EQ(written, 1024u);
    EXPECT_EQ(reads, 4);
}

}  // namespace
}  // namespace vantrel::ziplib
