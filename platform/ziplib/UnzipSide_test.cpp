// The unzip side through its C interface: listing, extraction with its flags and its refusals,
// tests, passwords.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/ziplib/RawArchiveBuilder.h"
#include "platform/ziplib/ZipTestSupport.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib::testing {
namespace {

std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& entry : fs::recursive_directory_iterator(folder)) {
        names.push_back(fs::relative(entry.path(), folder).string() +
                        (entry.is_directory() ? "/" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UnzipSide : public ::testing::Test {
  protected:
    void SetUp() override {
        drive.Put("src/a.txt", "alpha", 7200);
        drive.Put("src/sub/b.txt", "bravo", 7200);
        drive.Put("src/sub/deep/c.txt", "charlie", 7200);
        ASSERT_EQ((ZipCall{.flags = kRecurse, .list = "c:\\src\\*.*"}.Run()), 0);
    }
    TestDrive drive;
};

// The entries' details are seen in the browser's contents view; here the listing's end.
TEST_F(UnzipSide, TheListingReportsItsEndAndNothingAfterAReset) {
    std::string archive = "c:\\test.zip";
    LSUZ_ZIPNAME(Text(archive));
    ASSERT_EQ(LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST), 5);
    ZipEntryRecord record;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(LSUZ_GETNEXT(&record), 0);
    }
    EXPECT_EQ(LSUZ_GETNEXT(&record), -164);
    LSUZ_RESET();
    EXPECT_EQ(LSUZ_GETNEXT(&record), -11);  // no listing after a reset
}

// A listing shows one archive: a wildcard is refused like a place off every drive.
TEST_F(UnzipSide, ListingFailuresAreStatusCodes) {
    drive.Put("not.zip", "plain text, no archive");
    for (auto [archive, expected] : {std::pair{"c:\\not.zip", -2},
                                     {"c:\\missing.zip", -9},
                                     {"q:\\x.zip", -151},
                                     {"c:\\*.zip", -151}}) {
        int32_t code = 0;
        ListEntries(archive, &code);
        EXPECT_EQ(code, expected) << archive;
    }
}

TEST_F(UnzipSide, LongNamesAreCutInTheRecordAndWholeInTheExtendedCall) {
    std::string longName = std::string(300, 'n') + "/\xc3\xa9" + std::string(10, 'e') + ".txt";
    Craft(drive.Path("long.zip"), {{longName, "x"}, {std::string(253, 'a') + "\xc3\xa9", "y"}});
    auto entries = ListEntries("c:\\long.zip");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::strlen(entries[0].record.name), 254u);
    EXPECT_EQ(entries[0].fullName, longName);
    // A character is never split: the 2-byte letter after 253 bytes does not fit.
    EXPECT_EQ(std::string(entries[1].record.name), std::string(253, 'a'));
}

TEST_F(UnzipSide, ExtractsOnlyTheListedEntries) {
    EXPECT_EQ((UnzipCall{.names = "sub\\*.*", .target = "c:\\sub"}.Run()), 0);
    EXPECT_EQ(FilesBelow(drive.Path("sub")),
              (Names{"sub/", "sub/b.txt", "sub/deep/", "sub/deep/c.txt"}));
    UnzipCall missing{.names = "a.txt nothere.txt", .target = "c:\\out2"};
    EXPECT_EQ(missing.Run(), -1);  // the others are still extracted
    EXPECT_EQ(FilesBelow(drive.Path("out2")), (Names{"a.txt"}));
}

TEST_F(UnzipSide, SeveralArchivesByBarsOrWildcardsAreAllExtracted) {
    drive.Put("more/x.txt", "xray");
    ASSERT_EQ((ZipCall{.archive = "c:\\second.zip", .list = "c:\\more\\x.txt"}.Run()), 0);
    EXPECT_EQ((UnzipCall{.archive = "c:\\test.zip|second.zip",
                         .flags = LSUZ_FLAG_EXTRACT + LSUZ_FLAG_NO_FOLDERS}
                   .Run()),
              0);
    EXPECT_EQ(FilesBelow(drive.Path("out")), (Names{"a.txt", "b.txt", "c.txt", "x.txt"}));

    EXPECT_EQ((UnzipCall{.archive = "c:\\*.ZIP", .target = "c:\\all"}.Run()), 0);
    EXPECT_EQ(drive.Read("all/x.txt"), "xray");
    EXPECT_EQ(drive.Read("all/sub/b.txt"), "bravo");
    EXPECT_EQ(TestArchive("c:\\*.zip"), 0);

    EXPECT_EQ((UnzipCall{.archive = "c:\\none*.zip", .target = "c:\\none"}.Run()), -1);
    EXPECT_EQ((UnzipCall{.archive = "c:\\test.zip|..\\..\\x.zip"}.Run()), -151);
}

TEST_F(UnzipSide, FreshenAndUpdateCompareTimes) {
    drive.Put("out/a.txt", "older copy", 3 * 7200);  // older than the entry
    drive.Put("out/sub/b.txt", "newer copy", 60);    // newer than the entry
    EXPECT_EQ((UnzipCall{.flags = LSUZ_FLAG_EXTRACT + LSUZ_FLAG_FRESHEN}.Run()), 0);
    EXPECT_EQ(drive.Read("out/a.txt"), "alpha");
    EXPECT_EQ(drive.Read("out/sub/b.txt"), "newer copy");
    EXPECT_FALSE(drive.Exists("out/sub/deep/c.txt"));  // freshen creates nothing

    drive.Put("out/a.txt", "older copy", 3 * 7200);
    EXPECT_EQ((UnzipCall{.flags = LSUZ_FLAG_EXTRACT + LSUZ_FLAG_UPDATE}.Run()), 0);
    EXPECT_EQ(drive.Read("out/a.txt"), "alpha");
    EXPECT_EQ(drive.Read("out/sub/b.txt"), "newer copy");
    EXPECT_EQ(drive.Read("out/sub/deep/c.txt"), "charlie");

    EXPECT_EQ(UnzipCall{}.Run(), 0);  // plain extraction overwrites
    EXPECT_EQ(drive.Read("out/sub/b.txt"), "bravo");
}

// New files and folders get their stored permissions, masked by the umask as any new file is and
// never setuid, setgid or sticky; a file that replaces another keeps its permissions and owner.
TEST_F(UnzipSide, PermissionsAreTheStoredOnesMaskedAndAReplacedFileKeepsItsOwn) {
    Craft(drive.Path("modes.zip"), {{"open.sh", "x", 0100777},
                                    {"setuid", "x", 0106755},
                                    {"private.txt", "x", 0100600},
                                    {"shared/", "", 040775},
                                    {"shared/in.txt", "x"},
                                    {"readonly/", "", 040555},
                                    {"readonly/in.txt", "x"},
                                    {"kept.txt", "new"}});
    drive.Put("out/kept.txt", "old");
    fs::permissions(drive.Path("out/kept.txt"), fs::perms::owner_read | fs::perms::owner_write);
    bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(drive.Path("out/kept.txt").c_str(), 65534, 65534), 0);
    }
    mode_t saved = ::umask(022);
    EXPECT_EQ((UnzipCall{.archive = "c:\\modes.zip"}.Run()), 0);
    ::umask(saved);
    const std::pair<const char*, mode_t> expected[] = {{"open.sh", 0755},     {"setuid", 0755},
                                                       {"private.txt", 0600}, {"shared", 0755},
                                                       {"readonly", 0555},    {"kept.txt", 0600}};
    for (const auto& [name, mode] : expected) {
        struct stat info {};
        ASSERT_EQ(::stat(drive.Path(std::string("out/") + name).c_str(), &info), 0) << name;
        EXPECT_EQ(info.st_mode & 07777, mode) << name;
        EXPECT_EQ(info.st_uid, std::string(name) == "kept.txt" && root ? 65534u : ::geteuid());
    }
    EXPECT_EQ(drive.Read("out/kept.txt"), "new");
    EXPECT_EQ(drive.Read("out/readonly/in.txt"), "x");
}

TEST_F(UnzipSide, HostileNamesAreRefusedAndNothingIsWrittenForThem) {
    // Every form of a name that leaves the target is in SafeEntrySegments' table.
    Craft(drive.Path("evil.zip"), {{"../escaped.txt", "x"},
                                   {"a/../../up.txt", "x"},
                                   {"link", "../outside", 0120777},
                                   {"good.txt", "fine"}});
    UnzipCall call{.archive = "c:\\evil.zip"};
    EXPECT_EQ(call.Run(), -152);
    EXPECT_EQ(FilesBelow(drive.Path("out")), (Names{"good.txt"}));
    EXPECT_TRUE(FilesBelow(drive.Outside()).empty());
    EXPECT_FALSE(drive.Exists("escaped.txt"));
    EXPECT_FALSE(drive.Exists("up.txt"));
    // So is a target outside every drive.
    EXPECT_EQ((UnzipCall{.target = "q:\\out"}.Run()), -152);
    EXPECT_EQ((UnzipCall{.target = "c:\\..\\..\\out"}.Run()), -152);
}

TEST_F(UnzipSide, NamesThatWouldPassThroughASymbolicLinkAreRefused) {
    fs::create_directories(drive.Path("out"));
    fs::create_directory_symlink(drive.Outside(), drive.Path("out/escape"));
    std::ofstream(drive.Outside() / "victim.txt") << "untouched";
    fs::create_symlink(drive.Outside() / "victim.txt", drive.Path("out/victim.txt"));
    Craft(drive.Path("links.zip"),
          {{"escape/planted.txt", "x"}, {"victim.txt", "overwritten"}, {"ok.txt", "ok"}});
    EXPECT_EQ((UnzipCall{.archive = "c:\\links.zip"}.Run()), -152);
    EXPECT_TRUE(FilesBelow(drive.Outside()) == (Names{"victim.txt"}));
    EXPECT_EQ(TestDrive::ReadFile(drive.Outside() / "victim.txt"), "untouched");
    EXPECT_EQ(drive.Read("out/ok.txt"), "ok");
}

TEST_F(UnzipSide, PasswordsDecryptOnceAndWrongOnesWriteNothing) {
    ASSERT_EQ(EncryptedZip("c:\\secret.zip", "c:\\src\\a.txt", "right"), 0);
    auto entries = ListEntries("c:\\secret.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].record.flags & 1, 1);

    EXPECT_EQ((UnzipCall{.archive = "c:\\secret.zip", .password = "wrong"}.Run()), -61);
    EXPECT_EQ((UnzipCall{.archive = "c:\\secret.zip"}.Run()), -61);
    EXPECT_FALSE(drive.Exists("out/a.txt"));
    EXPECT_TRUE(FilesBelow(drive.Path("out")).empty());  // no temporary file left either
    EXPECT_EQ((UnzipCall{.archive = "c:\\secret.zip", .password = "right"}.Run()), 0);
    EXPECT_EQ(drive.Read("out/a.txt"), "alpha");
    // The password served that run only.
    EXPECT_EQ((UnzipCall{.archive = "c:\\secret.zip", .target = "c:\\out2"}.Run()), -61);
    // So did the zip side's.
    EXPECT_EQ(EncryptedZip("c:\\again.zip", "c:\\src\\a.txt", ""), -61);
    // Structure only, and said so; with the password it tests good (seen in the browser).
    EXPECT_EQ(TestArchive("c:\\secret.zip"), -61);

    // AES checks the password itself: data changed since is damage, whatever the password.
    std::string bytes = drive.Read("secret.zip");
    size_t data = 30 + 5 + static_cast<uint8_t>(bytes[28]);  // behind name and extra field
    bytes[data + 16 + 2] ^= 1;  // the first encrypted byte, behind salt and verifier
    std::ofstream(drive.Path("secret.zip"), std::ios::binary) << bytes;
    EXPECT_EQ((UnzipCall{.archive = "c:\\secret.zip", .password = "right"}.Run()), -15);
}

// Archives as other programs write them, and as their readers read them.
TEST_F(UnzipSide, ReadsWhatOtherReadersRead) {
    auto stored = [](std::vector<std::pair<std::string, std::string>> files,
                     void (*change)(std::vector<RawEntry>&) = nullptr) {
        RawArchive archive;
        std::vector<RawEntry> entries;
        for (const auto& [name, data] : files) {
            entries.push_back(archive.AddLocal({.name = name}, data));
        }
        if (change) {
            change(entries);
        }
        return archive.Finish(entries);
    };
    RawArchive many;  // 65,536 entries: the end record's count wraps to 0
    std::string central;
    for (int i = 0; i < 65536; ++i) {
        central += CentralRecord(many.AddLocal({.name = "f" + std::to_string(i)}, ""));
    }
    std::string wrapped =
        many.Bytes() + central + EndRecords(0, many.Size(), central.size(), false);
    RawArchive zstd;
    std::string text(5000, 'z');
    std::string packed(ZSTD_compressBound(text.size()), '\0');
    packed.resize(ZSTD_compress(packed.data(), packed.size(), text.data(), text.size(), 3));
    RawEntry packedEntry{.name = "z.txt", .crc = Crc(text), .size = text.size(), .method = 93};
    RawEntry odd{.name = "ppmd.txt", .crc = 1, .size = 10, .method = 98};
    std::vector<RawEntry> methods = {zstd.AddLocal(packedEntry, packed),
                                     zstd.AddLocal(odd, "0123456789"),
                                     zstd.AddLocal({.name = "ok.txt"}, "ok")};
    RawArchive bsd;  // bsdtar announces a descriptor, yet states the size in the local header
    std::string bsdtar = bsd.Finish({bsd.AddLocal({.name = "b.txt", .flags = 0x8}, "bsdtar")});
    bsdtar[22] = 6;
    RawArchive huge;  // libzip took its size for a zip64 placeholder and refused the archive
    RawEntry declared{.name = "huge.bin", .size = 0xFFFFFFFF, .method = 8};
    std::string hugeArchive = huge.Finish({huge.AddLocal(declared, DeflatedZeros(1000))});
    struct Row {
        const char* what;
        std::string bytes;
        int32_t count;
        std::string listed;  // the first entry's name as listed
        int32_t tested;
        int32_t extracted;
        std::string names = "*.*";
        std::map<std::string, std::string> files = {};
    } rows[] = {
        {"data in front of the archive",
         std::string(140, '#') + stored({{"a.txt", "alpha"}}),
         1,
         "a.txt",
         0,
         0,
         "*.*",
         {{"a.txt", "alpha"}}},
        {"65,536 entries", wrapped, 65536, "f0", 0, 0, "f65535", {{"f65535", ""}}},
        {"a zip64 locator's lookalike in the last comment",
         stored({{"a.txt", "alpha"}},
                [](auto& e) {
                    e[0].comment = "note" + std::string("PK\x06\x07", 4) + std::string(16, '\x01');
                }),
         1,
         "a.txt",
         0,
         0,
         "*.*",
         {{"a.txt", "alpha"}}},
        {"Zstandard, and a method nobody reads",
         zstd.Finish(methods),
         3,
         "z.txt",
         -16,
         -16,
         "*.*",
         {{"z.txt", text}, {"ok.txt", "ok"}}},
        {"bsdtar's local header", bsdtar, 1, "b.txt", 0, 0, "*.*", {{"b.txt", "bsdtar"}}},
        {"4 GiB less one byte without zip64 (the data ends early)", hugeArchive, 1, "huge.bin", -3,
         -3},
        {"a NUL in a name",
         stored({{std::string("a\0b.txt", 7), "x"}, {"ok.txt", "ok"}}),
         2,
         "a\xEF\xBF\xBD"
         "b.txt",
         -152,
         -152,
         "*.*",
         {{"ok.txt", "ok"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(drive.Path("out"));
        drive.Put("other.zip", row.bytes);
        int32_t count = 0;
        auto entries = ListEntries("c:\\other.zip", &count);
        EXPECT_EQ(count, row.count);
        EXPECT_EQ(entries.empty() ? "" : entries[0].fullName, row.listed);
        EXPECT_EQ(TestArchive("c:\\other.zip"), row.tested);
        EXPECT_EQ((UnzipCall{.archive = "c:\\other.zip", .names = row.names}.Run()), row.extracted);
        std::vector<std::string> written;
        for (const auto& [name, data] : row.files) {
            EXPECT_EQ(drive.Read("out/" + name), data) << name;
            written.push_back(name);
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(FilesBelow(drive.Path("out")), written);
    }
}

TEST_F(UnzipSide, AnEmptyArchiveSaysSo) {
    // libzip writes no file for an archive without entries; the 22-byte one by hand.
    std::string end = std::string("PK\x05\x06", 4) + std::string(18, '\0');
    std::ofstream(drive.Path("empty.zip"), std::ios::binary) << end;
    int32_t count = -1;
    EXPECT_TRUE(ListEntries("c:\\empty.zip", &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ((UnzipCall{.archive = "c:\\empty.zip"}.Run()), -164);
}

TEST_F(UnzipSide, AnAbortOrAnUnknownActionExtractsNothing) {
    EXPECT_EQ((UnzipCall{.callback = StopAtOnce}.Run()), -30);
    EXPECT_EQ((UnzipCall{.action = 7}.Run()), -11);
    EXPECT_FALSE(drive.Exists("out/a.txt"));
}

// Damaged data fails the test and the extraction, which leave nothing. One entry read on its own
// is found as a listed name is, "\" for "/" (the host's downloads tell the other refusals); its
// damaged data never reaches the sink whole: the last byte is held back.
TEST_F(UnzipSide, DamagedDataIsNeverTakenWholeAndOneEntryIsReadOnItsOwn) {
    drive.Put("src/stored.txt", std::string(4000, 's'));
    ASSERT_EQ(
        (ZipCall{.archive = "c:\\stored.zip", .level = 0, .list = "c:\\src\\stored.txt"}.Run()), 0);
    std::string bytes = drive.Read("stored.zip");
    bytes[bytes.find("sss") + 100] = 'X';
    std::ofstream(drive.Path("stored.zip"), std::ios::binary) << bytes;
    EXPECT_EQ(TestArchive("c:\\stored.zip"), LSZIP_E_CRC);
    EXPECT_EQ((UnzipCall{.archive = "c:\\stored.zip"}.Run()), LSZIP_E_CRC);
    EXPECT_FALSE(drive.Exists("out/stored.txt"));
    std::string allButLast(3999, 's');
    allButLast[100] = 'X';
    const struct {
        std::string archive, name;
        int32_t opened, read;
        std::string data;
    } cases[] = {
        {"c:\\test.zip", "sub/b.txt", 0, 0, "bravo"},
        {"c:\\test.zip", "SUB\\B.TXT", 0, 0, "bravo"},
        {"c:\\test.zip", "sub/", -1, 0, ""},
        {"c:\\stored.zip", "stored.txt", 0, -15, allButLast},
    };
    for (const auto& c : cases) {
        std::string archive = c.archive, name = c.name;
        LSUZ_ZIPNAME(Text(archive));
        void* entry = nullptr;
        int64_t size = -1;
        ASSERT_EQ(LSUZ_OPENENTRY(Text(name), &entry, &size), c.opened) << name;
        if (c.opened != 0) {
            continue;
        }
        std::string got;
        auto sink = [](void* into, const char* data, int32_t n) -> int32_t {
            static_cast<std::string*>(into)->append(data, static_cast<size_t>(n));
            return 0;
        };
        EXPECT_EQ(LSUZ_READENTRY(entry, sink, &got), c.read) << name;
        EXPECT_EQ(got, c.data) << name;
        EXPECT_EQ(static_cast<size_t>(size), c.data.size() + (c.read == 0 ? 0 : 1));
        LSUZ_CLOSEENTRY(entry);
    }
}

}  // namespace
}  // namespace vantrel::ziplib::testing
