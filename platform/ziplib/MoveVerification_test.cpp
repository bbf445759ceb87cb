// What a move may delete: only files whose entries read back whole and that have not changed.
#include "platform/ziplib/MoveVerification.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/ziplib/SourceList.h"
#include "platform/ziplib/ZipTestSupport.h"

namespace vantrel::ziplib::testing {
namespace {

class MoveVerification : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("m/a.txt", std::string(5000, 'a'), 600);
        drive.Put("m/b.txt", "bravo", 600);
        CallerHooks caller({});
        ASSERT_EQ(ExpandSourceList("c:\\m\\*.txt", {}, caller, sources), 0);
        ASSERT_EQ(sources.size(), 2u);
        a = &sources[0];
        b = &sources[1];
    }
    std::vector<bool> Confirm(const std::string& archive,
                              const std::vector<const SourceFile*>& written,
                              const std::string& password) {
        platform::UniqueFd fd(::open(drive.Path(archive).c_str(), O_RDONLY | O_CLOEXEC));
        return ConfirmWrittenEntries(fd.Get(), written, password, opener);
    }
    TestDrive drive;
    std::deque<SourceFile> sources;
    const SourceFile* a = nullptr;
    const SourceFile* b = nullptr;
    SourceOpener opener;
};

TEST_F(MoveVerification, ConfirmsEntriesThatReadBackWhole) {
    ASSERT_EQ((ZipCall{.list = "c:\\m\\*.txt"}.Run()), 0);
    EXPECT_EQ(Confirm("test.zip", {a, b}, ""), (std::vector<bool>{true, true}));
    ASSERT_EQ(EncryptedZip("c:\\secret.zip", "c:\\m\\*.txt", "pw"), 0);
    EXPECT_EQ(Confirm("secret.zip", {a}, "pw"), std::vector<bool>{true});
    EXPECT_EQ(Confirm("secret.zip", {a}, "wrong"), std::vector<bool>{false});
}

TEST_F(MoveVerification, KeepsFilesChangedSinceTheyWereZipped) {
    ASSERT_EQ((ZipCall{.list = "c:\\m\\*.txt"}.Run()), 0);
    drive.Put("m/b.txt", "BRAVO");  // edited meanwhile, its size kept: only its time tells
    EXPECT_EQ(Confirm("test.zip", {a, b}, ""), (std::vector<bool>{true, false}));
}

TEST_F(MoveVerification, KeepsFilesWhoseEntriesAreDamagedOrMissing) {
    ASSERT_EQ((ZipCall{.level = 0, .list = "c:\\m\\a.txt"}.Run()), 0);
    EXPECT_EQ(Confirm("test.zip", {a, b}, ""), (std::vector<bool>{true, false}));
    // Flip one stored byte of a.txt's data: its checksum no longer matches.
    std::string archive = drive.Read("test.zip");
    size_t data = archive.find(std::string(100, 'a'));
    ASSERT_NE(data, std::string::npos);
    archive[data + 50] = 'x';
    std::ofstream(drive.Path("test.zip"), std::ios::binary) << archive;
    EXPECT_EQ(Confirm("test.zip", {a}, ""), std::vector<bool>{false});
}

}  // namespace
}  // namespace vantrel::ziplib::testing
