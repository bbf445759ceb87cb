#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace vantrel::registry {
namespace {
namespace fs = std::filesystem;

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("registry-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        SetRegistryRoot(root_);
    }
    void TearDown() override {
        SetRegistryRoot({});
        fs::remove_all(root_);
    }

    static LONG Store(const char* key, const std::string& text) {
        HKEY handle = 0;
        LONG status = RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &handle);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueA(handle, nullptr, REG_SZ, text.c_str(),
                                  static_cast<DWORD>(text.size()));
            RegCloseKey(handle);
        }
        return status;
    }

    static LONG Read(const char* key, std::string& text, LONG bufferSize = 1023) {
        HKEY handle = 0;
        LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, key, &handle);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::string buffer(1024, '\0');
        LONG size = bufferSize;
        status = RegQueryValueA(handle, nullptr, buffer.data(), &size);
        RegCloseKey(handle);
        text = status == ERROR_SUCCESS ? buffer.substr(0, size - 1) : "";
        return status;
    }

    fs::path root_;
};

// Something that is there but cannot be read is told apart from nothing being there. (Tests may
// run as root, whom permissions do not stop: a folder in place of the value file, or a file in
// place of a key, cannot be read by anybody.)
TEST_F(RegistryTest, WhatCannotBeReadIsToldFromWhatIsMissing) {
    ASSERT_EQ(Store("SOFTWARE\\Quillfen\\Farbale\\Flag", "1"), ERROR_SUCCESS);
    fs::path farbale = root_ / "HKEY_LOCAL_MACHINE/SOFTWARE/Quillfen/Farbale";
    fs::remove(farbale / "Flag" / "@");
    fs::create_directory(farbale / "Flag" / "@");
    std::ofstream(farbale / "List") << "not a key";
    std::string text;
    EXPECT_EQ(Read("SOFTWARE\\Quillfen\\Farbale\\Flag", text), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read("SOFTWARE\\Quillfen\\Farbale\\list", text), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read("SOFTWARE\\Quillfen\\Farbale\\List\\Below", text), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read("SOFTWARE\\Quillfen\\Farbale\\Missing", text), ERROR_FILE_NOT_FOUND);
    HKEY handle = 0;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Empty", &handle), ERROR_SUCCESS);
    RegCloseKey(handle);
    EXPECT_EQ(Read("SOFTWARE\\Empty", text), ERROR_FILE_NOT_FOUND);  // a key without a value
    fs::remove_all(root_);
    std::ofstream(root_) << "the whole store is a file";
    EXPECT_EQ(Read("SOFTWARE", text), ERROR_ACCESS_DENIED);
    fs::remove(root_);
}

TEST_F(RegistryTest, KeyNamesIgnoreCase) {
    ASSERT_EQ(Store("SOFTWARE\\Quillfen\\Farbale\\X", "one"), ERROR_SUCCESS);
    ASSERT_EQ(Store("Software\\quillfen\\FARBALE\\x", "two"), ERROR_SUCCESS);
    std::string text;
    ASSERT_EQ(Read("software\\QUILLFEN\\farbale\\X", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "two");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "HKEY_LOCAL_MACHINE"),
                            fs::directory_iterator()),
              1);
}

TEST_F(RegistryTest, TooSmallBufferAsksForMoreData) {
    ASSERT_EQ(Store("K", std::string(1022, 'a')), ERROR_SUCCESS);
    std::string text;
    EXPECT_EQ(Read("K", text), ERROR_SUCCESS);
    EXPECT_EQ(text.size(), 1022u);
    ASSERT_EQ(Store("K", std::string(1023, 'a')), ERROR_SUCCESS);
    EXPECT_EQ(Read("K", text), ERROR_MORE_DATA);
}

TEST_F(RegistryTest, RefusesKeyNamesThatClimbOut) {
    HKEY handle = 0;
    EXPECT_NE(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\..\\..\\escape", &handle),
              ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(root_ / "escape"));
}

TEST_F(RegistryTest, ReadersNeverSeeHalfAValue) {
    const std::string shortText(10, 's'), longText(1000, 'l');
    ASSERT_EQ(Store("Atomic", shortText), ERROR_SUCCESS);
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) {
            Store("Atomic", i % 2 ? shortText : longText);
        }
        done = true;
    });
    int reads = 0;
    while (!done) {
        std::string text;
        if (Read("Atomic", text) == ERROR_SUCCESS) {
            ASSERT_TRUE(text == shortText || text == longText) << text.size();
            ++reads;
        }
    }
    writer.join();
    EXPECT_GT(reads, 0);
}

}  // namespace
}  // namespace vantrel::registry
