// The deflater's pipeline: files read in libzip's order, large files in many pieces, memory held
// to its budget, and a file that changes under it refused rather than half read.
#include "platform/ziplib/ParallelDeflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

std::string Inflate(const std::string& deflated, size_t expected) {
    std::string out(expected + 1, '\0');
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = static_cast<uInt>(deflated.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return result == Z_STREAM_END ? out : std::string("(broken)");
}

std::string Text(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += "line " + std::to_string(random() % 5000) + (random() % 4 ? " of text\n" : "\n");
    }
    text.resize(size);
    return text;
}

class ParallelDeflaterTest : public ::testing::Test {
  protected:
    void Expand() {
        CallerHooks caller({});
        ASSERT_EQ(ExpandSourceList("c:\\d\\*.*", {}, caller, files), 0);
    }
    // Reads a file whole through the deflater, as libzip does, in small reads.
    std::string ReadAll(ParallelDeflater& deflater, size_t number) {
        EXPECT_EQ(deflater.Open(number), 0);
        std::string out;
        char buffer[8192];
        int64_t got;
        while ((got = deflater.Read(number, buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<size_t>(got));
        }
        deflater.Close(number);
        return got == 0 ? out : "(failed)";
    }
    TestDrive drive;
    std::deque<SourceFile> files;
    SourceOpener opener;
    WorkerPool pool{2};
};

// Every engine's pieces join into one stream, whatever the data and wherever a piece is cut:
// text, bytes that do not compress, zeros, a few bytes, none.
TEST_F(ParallelDeflaterTest, FilesLargerThanPieceAndBudgetInflateToThemselves) {
    std::string noise(200000, '\0');
    std::mt19937 random(7);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<char>(random()); });
    std::vector<std::string> contents = {Text(1 << 20, 1),         "short", Text(70000, 2),
                                         Text(300000, 3),          noise,   "",
                                         std::string(500000, '\0')};
    for (size_t i = 0; i < contents.size(); ++i) {
        drive.Put("d/f" + std::to_string(i), contents[i]);
    }
    Expand();
    ASSERT_EQ(files.size(), contents.size());
    const std::vector<size_t> libzipOrder = {3, 0, 6, 2, 5, 1, 4};  // not the list's
    // Pieces of 64 KB, at most two of them waiting per worker, two files open ahead.
    for (int level : {1, 2, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        ParallelDeflater deflater(level, opener, pool, {65536, 131072, 2});
        for (const auto& file : files) {
            deflater.Add(file);
        }
        deflater.ReadInOrder(libzipOrder);
        for (size_t number : libzipOrder) {
            std::string deflated = ReadAll(deflater, number);
            const std::string& original = contents[number];
            ASSERT_TRUE(deflater.Finished(number));
            EXPECT_EQ(Inflate(deflated, original.size()), original);
            EXPECT_EQ(deflater.Size(number), original.size());
            EXPECT_EQ(deflater.DeflatedSize(number), deflated.size());
            EXPECT_EQ(deflater.Crc(number),
                      crc32(0, reinterpret_cast<const Bytef*>(original.data()),
                            static_cast<uInt>(original.size())));
        }
        EXPECT_LT(deflater.DeflatedSize(0), contents[0].size() / 3);
    }
}

TEST_F(ParallelDeflaterTest, AFileThatShrinksWhileReadFails) {
    drive.Put("d/big", Text(1 << 20, 4));
    Expand();
    ParallelDeflater deflater(5, opener, pool, {65536, 65536, 1});
    deflater.Add(files[0]);
    ASSERT_EQ(deflater.Open(0), 0);
    ASSERT_EQ(::truncate(drive.Path("d/big").c_str(), 1000), 0);
    char buffer[8192];
    int64_t got;
    while ((got = deflater.Read(0, buffer, sizeof buffer)) > 0) {
    }
    EXPECT_EQ(got, -1);
    EXPECT_FALSE(deflater.Finished(0));
}

TEST_F(ParallelDeflaterTest, AFileSwappedBeforeItIsOpenedIsRefused) {
    drive.Put("d/a", "alpha");
    Expand();
    drive.Put("d/new", "another file under the same name");
    fs::rename(drive.Path("d/new"), drive.Path("d/a"));
    ParallelDeflater deflater(5, opener, pool);
    deflater.Add(files[0]);
    EXPECT_NE(deflater.Open(0), 0);
    char buffer[16];
    EXPECT_EQ(deflater.Read(0, buffer, sizeof buffer), -1);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
