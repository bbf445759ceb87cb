#include "host/ThreadFileCredentials.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <stdexcept>
#include <thread>

#include "host/AccountCredentials.h"

namespace vantrel::host {
namespace {
namespace fs = std::filesystem;

bool CanOpen(const fs::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::close(fd);
    }
    return fd >= 0;
}

// Root's file-system capabilities (reading any file) are gone on the switched thread, and on the
// threads it starts while switched, but not on the others; they come back on every way out.
TEST(ThreadFileCredentialsTest, AnAccountsRightsHoldOnItsOwnThreadOnly) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching file rights needs root";
    }
    auto nobody = LookUpFileCredentials("nobody");
    ASSERT_TRUE(nobody);
    fs::path folder = fs::temp_directory_path() / ("rights-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all);
    fs::path secret = folder / "root-only";
    std::ofstream(secret) << "secret";
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    std::promise<void> switched;
    std::thread other([&, ready = switched.get_future()]() mutable {
        ready.wait();
        EXPECT_TRUE(CanOpen(secret));  // a thread that was running already keeps its own rights
    });
    {
        ThreadFileCredentials rights(*nobody);
        ASSERT_TRUE(rights.Switched());
        EXPECT_EQ(CurrentFileUid(), nobody->uid);
        EXPECT_FALSE(CanOpen(secret));
        EXPECT_EQ(errno, EACCES);
        switched.set_value();
        other.join();
        // A thread started now takes the account's rights with it.
        std::thread([&] { EXPECT_FALSE(CanOpen(secret)); }).join();
        std::ofstream(folder / "made") << "x";
    }
    struct stat made {};
    ASSERT_EQ(::stat((folder / "made").c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, nobody->uid);
    EXPECT_EQ(made.st_gid, nobody->gid);
    EXPECT_TRUE(CanOpen(secret));
    try {
        ThreadFileCredentials rights(*nobody);
        throw std::runtime_error("a page failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(CurrentFileUid(), 0u);
    EXPECT_EQ(CurrentFileGid(), 0u);
    EXPECT_TRUE(CanOpen(secret));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace vantrel::host
