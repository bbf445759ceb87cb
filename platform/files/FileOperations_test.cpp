#include "platform/files/FileOperations.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/files/ExclusiveFileLock.h"
#include "platform/files/TestDrive.h"

namespace vantrel::platform {
namespace {
namespace fs = std::filesystem;

class FileOperationsTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(Temp()); }
    fs::path Temp() const { return drive.Path("temp"); }
    void Write(const fs::path& path, const std::string& text) const { std::ofstream(path) << text; }

    testing::TestDrive drive;
};

TEST_F(FileOperationsTest, FindsOnlyOrdinaryFilesSorted) {
    Write(Temp() / "~sz1407.~fb", "");
    Write(Temp() / "~SZ0100.~FB", "");
    Write(Temp() / "~su1407.~fb", "");
    fs::create_directory(Temp() / "~sz2000.~fb");
    fs::create_symlink(Temp() / "~su1407.~fb", Temp() / "~sz2100.~fb");
    EXPECT_EQ(FindOrdinaryFiles("c:\\temp\\~sz*.~fb"),
              (std::vector<std::string>{"~SZ0100.~FB", "~sz1407.~fb"}));
    EXPECT_TRUE(FindOrdinaryFiles("c:\\missing\\*.*").empty());
    EXPECT_TRUE(FindOrdinaryFiles("q:\\temp\\*.*").empty());
    EXPECT_TRUE(FindOrdinaryFiles("no-folder").empty());
}

TEST_F(FileOperationsTest, CreatesEmptyOrTruncates) {
    EXPECT_TRUE(CreateEmptyFile("c:\\temp\\~sz1407.~fb"));
    EXPECT_EQ(fs::file_size(Temp() / "~sz1407.~fb"), 0u);
    Write(Temp() / "~sz1407.~fb", "data");
    EXPECT_TRUE(CreateEmptyFile("c:\\temp\\~sz1407.~fb"));
    EXPECT_EQ(fs::file_size(Temp() / "~sz1407.~fb"), 0u);
}

TEST_F(FileOperationsTest, RefusesToWriteThroughLinksOrOutsideTheDrive) {
    Write(drive.Folder() / "precious.txt", "keep");
    fs::create_symlink(drive.Folder() / "precious.txt", Temp() / "~sz1407.~fb");
    EXPECT_FALSE(CreateEmptyFile("c:\\temp\\~sz1407.~fb"));
    EXPECT_EQ(fs::file_size(drive.Folder() / "precious.txt"), 4u);
    EXPECT_FALSE(CreateEmptyFile("c:\\temp\\..\\..\\outside\\x"));
    EXPECT_FALSE(CreateEmptyFile("q:\\x"));
    EXPECT_FALSE(fs::exists(drive.Outside() / "x"));
}

TEST_F(FileOperationsTest, DeletesOrdinaryFilesOnly) {
    Write(Temp() / "~sz1407.~fb", "");
    Write(Temp() / "~sz1408.~fb", "");
    Write(Temp() / "~su1407.~fb", "");
    Write(drive.Folder() / "target.txt", "keep");
    fs::create_symlink(drive.Folder() / "target.txt", Temp() / "~sz1500.~fb");
    EXPECT_FALSE(DeleteOrdinaryFile("c:\\temp\\~sz1500.~fb"));
    EXPECT_FALSE(DeleteOrdinaryFile("c:\\temp\\missing"));
    EXPECT_FALSE(DeleteOrdinaryFile("c:\\temp"));
    EXPECT_TRUE(DeleteMatchingFiles("c:\\temp\\~sz*.~fb"));
    EXPECT_FALSE(fs::exists(Temp() / "~sz1407.~fb"));
    EXPECT_FALSE(fs::exists(Temp() / "~sz1408.~fb"));
    EXPECT_TRUE(fs::exists(Temp() / "~su1407.~fb"));
    EXPECT_TRUE(fs::is_symlink(Temp() / "~sz1500.~fb"));
    EXPECT_TRUE(fs::exists(drive.Folder() / "target.txt"));
}

TEST_F(FileOperationsTest, ExclusiveLockMakesOthersWait) {
    std::atomic<bool> secondHeld = false;
    std::thread second;
    {
        ExclusiveFileLock first("c:\\temp\\guard.lck");
        ASSERT_TRUE(first.Held());
        second = std::thread([&] {
            ExclusiveFileLock lock("c:\\temp\\guard.lck");
            secondHeld = lock.Held();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(secondHeld);
    }
    second.join();
    EXPECT_TRUE(secondHeld);
    EXPECT_FALSE(ExclusiveFileLock("q:\\guard.lck").Held());
}

}  // namespace
}  // namespace vantrel::platform
