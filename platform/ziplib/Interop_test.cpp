// Archives move between this library and the common zip programs in both directions: what we
// write passes Info-ZIP's test (7-Zip's: in the browser), what they write we list, test and
// extract, with the same names, bytes and times in any time zone. (Python's LZMA and bzip2
// entries behind a stub: see the repair's tests.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>

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
        EXPECT_EQ(TestArchive("c:\\" + archive, password), 0) << archive;
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
            // The structure only, and said so.
            EXPECT_EQ(TestArchive("c:\\" + archive), -61) << archive;
        }
    }

    TestDrive drive;
};

TEST_F(Interop, InfoZipTestsWhatWeWrite) {
    if (!Installed("unzip")) {
        GTEST_SKIP() << "Info-ZIP unzip is not installed";
    }
    for (int level : {0, 9}) {
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
    const std::pair<const char*, const char*> archives[] = {
        {"7z-deflate.zip", "-mm=Deflate"},
        {"7z-aes.zip", "-mm=Deflate -mem=AES256 -psecret"},
        {"7z-zipcrypto.zip", "-mm=Deflate -mem=ZipCrypto -psecret"},
        {"7z-lzma.zip", "-mm=LZMA"},
        {"7z-xz-aes.zip", "-mm=XZ -mem=AES256 -psecret"},
    };
    for (const auto& [archive, options] : archives) {
        ASSERT_EQ(Shell(src + options + " ../" + archive + " ."), 0) << archive;
        ExpectReadable(archive,
                       std::string(options).find("-p") != std::string::npos ? "secret" : "");
    }
}

// Sets the time zone for the test's own time conversions and the programs it runs.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
        Set(zone);
    }
    ~TimeZone() { old_ ? Set(old_->c_str()) : (unsetenv("TZ"), tzset()); }
    void Set(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

TEST_F(Interop, TimesHoldInEveryTimeZone) {
    constexpr std::time_t kModified = 1623760497;  // 15 June 2021, 12:34:57 UTC (an odd second)
    const timespec times[2] = {{kModified, 0}, {kModified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, drive.Path("src/readme.txt").c_str(), times, 0), 0);
    std::string src = "cd " + Folder("src") + " && ";
    TimeZone zone("UTC-10");  // written where it is ten hours ahead of UTC
    ASSERT_EQ((ZipCall{.archive = "c:\\ours.zip", .list = "c:\\src\\readme.txt"}.Run()), 0);
    std::vector<std::string> archives = {"ours.zip"};
    if (Installed("zip") && Shell(src + "zip -q ../iz.zip readme.txt") == 0) {
        archives.push_back("iz.zip");  // an extended timestamp
    }
    if (std::string sevenZip = SevenZip();
        !sevenZip.empty() && Shell(src + sevenZip + " a -tzip ../7z.zip readme.txt") == 0) {
        archives.push_back("7z.zip");  // NTFS times
    }
    zone.Set("UTC+7");  // read where it is seven hours behind
    std::tm local{};
    localtime_r(&kModified, &local);
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        auto listed = ListEntries("c:\\" + archive);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ((listed[0].record.dosTime >> 11) & 31, local.tm_hour);
        EXPECT_EQ(listed[0].record.dosDate & 31, local.tm_mday);
        ASSERT_EQ((UnzipCall{.archive = "c:\\" + archive, .target = "c:\\t-" + archive}.Run()), 0);
        struct stat extracted {};
        ASSERT_EQ(stat(drive.Path("t-" + archive + "/readme.txt").c_str(), &extracted), 0);
        EXPECT_EQ(extracted.st_mtime, kModified);
    }
    if (Installed("unzip")) {  // others read the time we write as well
        ASSERT_EQ(Shell("cd " + Folder("") + " && unzip -q ours.zip -d iz-out"), 0);
        struct stat extracted {};
        ASSERT_EQ(stat(drive.Path("iz-out/readme.txt").c_str(), &extracted), 0);
        EXPECT_EQ(extracted.st_mtime, kModified);
    }
}

}  // namespace
}  // namespace vantrel::ziplib::testing
