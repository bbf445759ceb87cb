// Repair through the C interface: sound archives left alone, truncated archives, damaged central
// directories, damaged entries, archives written with data descriptors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <iterator>

#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/ZipTestSupport.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib::testing {
namespace {

using Names = std::vector<std::string>;

class Repair : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            std::string text;
            for (int line = 0; line < 200; ++line) {
                text += "file " + std::to_string(i) + " line " +
                        std::to_string(line * 7919 % 1000) + "\n";
            }
            drive.Put("src/f" + std::to_string(i) + ".txt", text);
        }
        ASSERT_EQ((ZipCall{.list = "c:\\src\\*.*"}.Run()), 0);
        original = drive.Read("test.zip");
    }

    void Damage(const std::string& bytes, const std::string& archive = "test.zip") {
        drive.Put(archive, bytes);
    }
    // Cuts the archive off where its central directory begins.
    void CutAtCentralDirectory(const std::string& archive) {
        std::string bytes = drive.Read(archive);
        Damage(bytes.substr(0, bytes.find(std::string("PK\x01\x02", 4))), archive);
    }
    int32_t RunRepair(bool harder) {
        return ZipCall{.action = LSZIP_REPAIR,
                       .flags = LSZIP_FLAG_BASE | (harder ? LSZIP_FLAG_HARDER_REPAIR : 0)}
            .Run();
    }
    size_t CentralDirectory() const { return original.find(std::string("PK\x01\x02", 4)); }
    bool Sound() { return TestArchive() == 0; }

    TestDrive drive;
    std::string original;
    const Names all = {"f0.txt", "f1.txt", "f2.txt", "f3.txt", "f4.txt"};
};

// Written by Python's zipfile behind a stub, so that its offsets count the stub: entries e0.txt,
// e1.txt, ... of the methods listed ("14" LZMA, "12" bzip2); entry number damaged gets a byte of
// its data flipped.
std::string PythonArchive(TestDrive& drive, const std::string& methods, int damaged = -1) {
    drive.Put("py.py",
              "import sys, zipfile\n"
              "out = open('py.zip', 'wb')\n"
              "out.write(b'#!/bin/sh stub\\n' * 10)\n"
              "z = zipfile.ZipFile(out, 'w')\n"
              "for n, method in enumerate(sys.argv[1].split(',')):\n"
              "    z.writestr('e%d.txt' % n, ('entry %d ' % n) * 5000, compress_type=int(method))\n"
              "z.close()\n"
              "out.close()\n"
              "data = bytearray(open('py.zip', 'rb').read())\n"
              "if int(sys.argv[2]) >= 0:\n"
              "    data[data.index(b'e%s.txt' % sys.argv[2].encode()) + 6 + 30] ^= 0xFF\n"
              "open('py.zip', 'wb').write(data)\n");
    std::string command = "cd '" + drive.Folder().string() + "' && python3 py.py " + methods + " " +
                          std::to_string(damaged);
    EXPECT_EQ(std::system(command.c_str()), 0);
    return drive.Read("py.zip");
}

// The repair judges an archive as the test does: data in front of it (counted by its offsets or
// not) and entries of any method the test reads are no damage, and such an archive stays as it is.
TEST_F(Repair, AnArchiveTheTestPassesIsLeftAlone) {
    const std::string stub = "#!/bin/sh\nexit 0\n";
    RawArchive counted;
    counted.Append(stub);
    RawEntry entry = counted.AddLocal({.name = "stored.txt"}, "stored");
    std::vector<std::pair<std::string, std::string>> archives = {
        {"ours", original},
        {"a stub put in front", stub + original},
        {"a stub its offsets count", counted.Finish({entry})},
    };
    if (Installed("python3")) {
        archives.emplace_back("LZMA and bzip2 behind a stub", PythonArchive(drive, "14,12,14"));
    }
    for (const auto& [title, bytes] : archives) {
        Damage(bytes);
        ASSERT_TRUE(Sound()) << title;
        EXPECT_EQ(RunRepair(false), 0) << title;
        EXPECT_EQ(drive.Read("test.zip"), bytes) << title;
        EXPECT_FALSE(drive.Exists("test.zip.damaged")) << title;
    }
}

// A rebuild checks each entry with the decoder extraction reads it with. Data in front of the
// entries takes the harder repair, and stays in the damaged original's copy.
TEST_F(Repair, ADamagedLzmaEntryIsLeftOutAndTheStubStaysInTheCopy) {
    if (!Installed("python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    std::string damaged = PythonArchive(drive, "14,14,14", 1);
    Damage(damaged);
    EXPECT_NE(RunRepair(false), 0);
    Heard told;
    EXPECT_EQ((ZipCall{.action = LSZIP_REPAIR,
                       .flags = LSZIP_FLAG_BASE | LSZIP_FLAG_HARDER_REPAIR,
                       .heard = &told}
                   .Run()),
              0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), (Names{"e0.txt", "e2.txt"}));
    EXPECT_TRUE(Sound());
    EXPECT_EQ(told.leftOut, (std::vector<std::pair<int32_t, std::string>>{{-3, "e1.txt"}}));
    EXPECT_EQ(drive.Read("test.zip.damaged"), damaged);
}

TEST_F(Repair, AMissingCentralDirectoryIsRebuiltFromTheLocalHeaders) {
    std::string damaged = original;
    for (size_t i = CentralDirectory(); i < damaged.size() - 22; ++i) {
        damaged[i] = '\xAA';
    }
    Damage(damaged);
    EXPECT_FALSE(Sound());
    EXPECT_EQ(RunRepair(false), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), all);
    EXPECT_TRUE(Sound());
    // The end record still counted five entries and all five came back: no copy is kept.
    EXPECT_FALSE(drive.Exists("test.zip.damaged"));
}

// The repair names the entry it lost (how many it kept and where the original is: see the browser).
TEST_F(Repair, ATruncatedArchiveKeepsItsWholeEntriesAndTheDamagedOriginal) {
    std::string damaged = original.substr(0, CentralDirectory() - 100);
    Damage(damaged);
    Heard told;
    EXPECT_EQ((ZipCall{.action = LSZIP_REPAIR, .heard = &told}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\test.zip"), (Names{"f0.txt", "f1.txt", "f2.txt", "f3.txt"}));
    EXPECT_TRUE(Sound());
    EXPECT_EQ(drive.Read("test.zip.damaged"), damaged);
    EXPECT_EQ(told.leftOut, (std::vector<std::pair<int32_t, std::string>>{{-3, "f4.txt"}}));
    Damage(damaged);
    EXPECT_EQ(RunRepair(false), 0);
    EXPECT_TRUE(drive.Exists("test.zip.damaged2"));  // an earlier copy is never overwritten
}

std::string g_shortenAtFirstCall;
int32_t ShortenArchive(int32_t, int32_t, int32_t, int32_t, int32_t) {
    if (!g_shortenAtFirstCall.empty()) {
        EXPECT_EQ(::truncate(g_shortenAtFirstCall.c_str(), 0), 0);
        g_shortenAtFirstCall.clear();
    }
    return 0;
}

// Another process empties the archive while a repair reads it (its pages vanish from under the
// repair's mapping): that repair fails, nothing is written, and this process lives on.
TEST_F(Repair, AnArchiveShortenedDuringTheRepairFailsThatRepairAlone) {
    for (int32_t harder : {0, static_cast<int32_t>(LSZIP_FLAG_HARDER_REPAIR)}) {
        Damage(original.substr(0, CentralDirectory()));
        g_shortenAtFirstCall = drive.Path("test.zip").string();
        ZipCall repair{
            .action = LSZIP_REPAIR, .flags = LSZIP_FLAG_BASE | harder, .callback = ShortenArchive};
        EXPECT_EQ(repair.Run(), -51);
        EXPECT_EQ(drive.Read("test.zip"), "");
        EXPECT_EQ(std::distance(fs::directory_iterator(drive.Folder()), {}), 2) << "src, test.zip";
    }
}

TEST_F(Repair, EntriesWithDataDescriptorsAreRecovered) {
    if (!Installed("zip")) {
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    }
    // Written to a pipe, zip cannot seek back and leaves the sizes to data descriptors.
    std::string command = "cd '" + drive.Path("src").string() + "' && cat f0.txt f1.txt | " +
                          "zip -q - f2.txt f3.txt - > ../stream.zip";
    ASSERT_EQ(std::system(command.c_str()), 0);
    CutAtCentralDirectory("stream.zip");
    EXPECT_EQ((ZipCall{.archive = "c:\\stream.zip", .action = LSZIP_REPAIR}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\stream.zip"), (Names{"f2.txt", "f3.txt", "-"}));
    EXPECT_EQ(TestArchive("c:\\stream.zip"), 0);
}

TEST_F(Repair, EncryptedEntriesKeepTheirEncryption) {
    ASSERT_EQ(EncryptedZip("c:\\enc.zip", "c:\\src\\*.*", "pw"), 0);
    CutAtCentralDirectory("enc.zip");
    EXPECT_EQ((ZipCall{.archive = "c:\\enc.zip", .action = LSZIP_REPAIR}.Run()), 0);
    EXPECT_EQ(EntryNames("c:\\enc.zip"), all);
    EXPECT_EQ(TestArchive("c:\\enc.zip", "pw"), 0);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
