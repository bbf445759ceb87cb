#include "host/UsersFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "host/HostHarness.h"

namespace vantrel::host {
namespace {
namespace fs = std::filesystem;

class UsersFileTest : public ::testing::Test {
  protected:
    std::vector<UserEntry> Read() {
        std::string error;
        auto entries = ReadUsersFile(file_, error);
        EXPECT_TRUE(entries) << error;
        return entries.value_or(std::vector<UserEntry>{});
    }

    testing::TestFolder folder_{"users"};
    fs::path file_ = folder_.Path() / "users";
};

TEST_F(UsersFileTest, AddsReplacesAndRemovesUsersWithYescryptHashes) {
    std::string error;
    ASSERT_TRUE(AddUser(file_, "alice", "nobody", "first one", error)) << error;
    ASSERT_TRUE(AddUser(file_, "bob", std::nullopt, "second one", error)) << error;
    ASSERT_TRUE(AddUser(file_, "carol", std::nullopt, "third one", error)) << error;
    // A new password keeps the account acted as unless another is named.
    ASSERT_TRUE(AddUser(file_, "alice", std::nullopt, "changed one", error)) << error;
    ASSERT_TRUE(RemoveUser(file_, "bob", error)) << error;
    auto entries = Read();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "alice");
    EXPECT_EQ(entries[0].actsAs, "nobody");
    EXPECT_EQ(entries[0].hash.rfind("$y$", 0), 0u);
    EXPECT_TRUE(VerifyPassword("changed one", entries[0].hash));
    EXPECT_FALSE(VerifyPassword("first one", entries[0].hash));
    EXPECT_EQ(entries[1].name, "carol");
    EXPECT_EQ(entries[1].actsAs, "");
    EXPECT_TRUE(VerifyPassword("third one", entries[1].hash));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator()), 1);
}

TEST_F(UsersFileTest, RefusesBadNamesUnknownAccountsShortPasswordsAndMalformedFiles) {
    std::string error;
    for (const char* name : {"", "a:b", "with blank", "tab\there", "x\n"}) {
        EXPECT_FALSE(AddUser(file_, name, std::nullopt, "password", error)) << name;
    }
    EXPECT_FALSE(AddUser(file_, "carol", "no-such-account-here", "password", error));
    // Passwords count characters, not bytes: seven accented letters are too few, eight enough.
    EXPECT_FALSE(AddUser(file_, "carol", std::nullopt, "", error));
    EXPECT_FALSE(
        AddUser(file_, "carol", std::nullopt, "\u00e4\u00f6\u00fc\u00e4\u00f6\u00fc\u00e4", error));
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_TRUE(AddUser(file_, "carol", std::nullopt,
                        "\u00e4\u00f6\u00fc\u00e4\u00f6\u00fc\u00e4\u00df", error));

    std::ofstream(file_) << "# comment\n\nalice:$y$abc\nbroken line\n";
    EXPECT_FALSE(ReadUsersFile(file_, error));
    EXPECT_NE(error.find("line 4"), std::string::npos) << error;
    EXPECT_FALSE(VerifyPassword("x", "not a hash"));
    EXPECT_FALSE(VerifyPassword("", ""));
}

}  // namespace
}  // namespace vantrel::host
