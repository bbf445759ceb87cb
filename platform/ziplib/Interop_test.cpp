// Archives move between this library and the common zip programs in both directions: what we
// write passes Info-ZIP's and 7-Zip's tests, what they write we list, test and extract.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

using Names = std::vector<std::string>;

class Interop : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("src/readme.txt", std::string(3000, 'r'));
        drive.Put("src/binary.bin", std::string("\x00\x01\x02\xff", 4) + std::string(5000, '\x7f'));
        drive.Put("src/sub/nested.txt", "nested text");
        drive.Put("src/sub/grüße.txt", "utf-8 name");
    }
    std::string Folder(const std::string& relative) {
        return "'" + drive.Path(relative).string() + "'";
    }

    // Lists, tests and extracts an archive another program wrote, and compares the files.
    void ExpectReadable(const std::string& archive, const std::string& password) {
        auto names = EntryNames("c:\\" + archive);
        EXPECT_GE(names.size(), 3u) << archive;
        EXPECT_NE(std::find(names.begin(), names.end(), "sub/grüße.txt"), names.end()) << archive;
        UnzipCall test{.archive = "c:\\" + archive,
                       .action = LSUZ_TEST,
                       .flags = LSUZ_FLAG_TEST,
                       .password = password};
        EXPECT_EQ(test.Run(), 0) << archive;
        std::string target = "c:\\x-" + archive;
        UnzipCall extract{.archive = "c:\\" + archive, .target = target, .password = password};
        EXPECT_EQ(extract.Run(), 0) << archive;
        std::string out = "x-" + archive + "/";
        EXPECT_TRUE(drive.Read(out + "readme.txt") == drive.Read("src/readme.txt")) << archive;
        EXPECT_TRUE(drive.Read(out + "binary.bin") == drive.Read("src/binary.bin")) << archive;
        EXPECT_EQ(drive.Read(out + "sub/grüße.txt"), "utf-8 name") << archive;
        if (!password.empty()) {
            UnzipCall wrong{.archive = "c:\\" + archive, .target = "c:\\wrong", .password = "nope"};
            EXPECT_EQ(wrong.Run(), -61) << archive;
            EXPECT_FALSE(drive.Exists("wrong/readme.txt"));
        }
    }

    TestDrive drive;
};

TEST_F(Interop, InfoZipTestsWhatWeWrite) {
    if (!Installed("unzip")) {
        GTEST_SKIP() << "Info-ZIP unzip is not installed";
    }
    for (int level : {0, 1, 6, 9}) {
        std::string archive = "c:\\ours" + std::to_string(level) + ".zip";
        ASSERT_EQ(
            (ZipCall{.archive = archive, .level = level, .flags = kRecurse, .list = "c:\\src\\*.*"}
                 .Run()),
            0);
        std::string path = Folder("ours" + std::to_string(level) + ".zip");
        EXPECT_EQ(Shell("unzip -tq " + path), 0) << level;
        EXPECT_EQ(Shell("cd " + Folder("") + " && mkdir -p iz && unzip -oq " + path + " -d iz"), 0);
        EXPECT_EQ(drive.Read("iz/sub/grüße.txt"), "utf-8 name");
    }
}

TEST_F(Interop, SevenZipTestsWhatWeWriteEncryptedOrNot) {
    std::string sevenZip = SevenZip();
    if (sevenZip.empty()) {
        GTEST_SKIP() << "7-Zip is not installed";
    }
    ASSERT_EQ(
        (ZipCall{.archive = "c:\\plain.zip", .flags = kRecurse, .list = "c:\\src\\*.*"}.Run()), 0);
    EXPECT_EQ(Shell(sevenZip + " t " + Folder("plain.zip")), 0);
    ASSERT_EQ((ZipCall{.archive = "c:\\aes.zip",
                       .flags = kRecurse | LSZIP_FLAG_ENCRYPT,
                       .list = "c:\\src\\*.*",
                       .password = "pa ss"}
                   .Run()),
              0);
    EXPECT_EQ(Shell(sevenZip + " t '-ppa ss' " + Folder("aes.zip")), 0);
    EXPECT_NE(Shell(sevenZip + " t -pwrong " + Folder("aes.zip")), 0);
}

TEST_F(Interop, WeReadWhatInfoZipWrites) {
    if (!Installed("zip")) {
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    }
    std::string src = "cd " + Folder("src") + " && ";
    ASSERT_EQ(Shell(src + "zip -qr ../iz-plain.zip ."), 0);
    ASSERT_EQ(Shell(src + "zip -qr -e -P secret ../iz-crypt.zip ."), 0);
    ExpectReadable("iz-plain.zip", "");
    ExpectReadable("iz-crypt.zip", "secret");
}

TEST_F(Interop, WeReadWhatSevenZipWrites) {
    std::string sevenZip = SevenZip();
    if (sevenZip.empty()) {
        GTEST_SKIP() << "7-Zip is not installed";
    }
    std::string src = "cd " + Folder("src") + " && " + sevenZip + " a -tzip ";
    ASSERT_EQ(Shell(src + "-mm=Deflate ../7z-deflate.zip ."), 0);
    ASSERT_EQ(Shell(src + "-mm=Deflate -mem=AES256 -psecret ../7z-aes.zip ."), 0);
    ASSERT_EQ(Shell(src + "-mm=Deflate -mem=ZipCrypto -psecret ../7z-zipcrypto.zip ."), 0);
    ExpectReadable("7z-deflate.zip", "");
    ExpectReadable("7z-aes.zip", "secret");
    ExpectReadable("7z-zipcrypto.zip", "secret");
}

}  // namespace
}  // namespace vantrel::ziplib::testing
