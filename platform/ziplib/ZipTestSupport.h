#pragma once
// Test support for the zip library: a drive c: in a fresh folder, and the library's calls wrapped
// the way the component makes them.

#include <zip.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/TestDrive.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib::testing {

namespace fs = std::filesystem;

using platform::testing::TestDrive;
using Names = std::vector<std::string>;

inline char* Text(std::string& text) {
    return text.data();
}

// What the library asked and told during calls: the real locations it asked about and the files
// and entries it left out. The check refuses every location that contains refuse (when set).
struct Heard {
    std::string refuse;
    std::vector<std::string> asked;
    std::vector<std::pair<int32_t, std::string>> leftOut;
    std::vector<int> reasons;  // errno during each report: the file system's reason, or 0

    static inline thread_local Heard* current = nullptr;
    static int32_t Check(const char* realPath) {
        current->asked.emplace_back(realPath);
        return current->refuse.empty() ||
               std::string(realPath).find(current->refuse) == std::string::npos;
    }
    static int32_t Report(int32_t code, const char* name) {
        current->reasons.push_back(errno);
        current->leftOut.emplace_back(code, name);
        return 0;
    }
    // Hands the library the check and report of heard (none when null).
    template <typename SetCheck, typename SetReport>
    static void Listen(Heard* heard, SetCheck setCheck, SetReport setReport) {
        current = heard;
        setCheck(heard ? Check : nullptr);
        setReport(heard ? Report : nullptr);
    }
};

// A progress callback that asks the library to stop at once.
inline int32_t StopAtOnce(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return 1;
}

// The flags of a zip that takes in a folder's subfolders too.
inline constexpr int32_t kRecurse = LSZIP_FLAG_BASE | LSZIP_FLAG_RECURSE;

struct ZipCall {
    std::string archive = "c:\\test.zip";
    int32_t action = LSZIP_ADD;
    int32_t level = 6;
    int32_t flags = LSZIP_FLAG_BASE;
    std::string list;
    std::string password;
    ZipProgressFn callback = nullptr;
    Heard* heard = nullptr;

    int32_t Run() {
        Heard::Listen(heard, LSZIP_SETPATHCHECK, LSZIP_SETMSG);
        std::string temp = "c:\\";
        LSZIP_SETTEMPATH(Text(temp));
        LSZIP_INCLUDE(Text(list));
        if (!password.empty()) {
            LSZIP_PASSWORD(Text(password));
        }
        LSZIP_SETCALLBACK(callback);
        return LSZIP_EXECUTE(Text(archive), action, level, flags);
    }
};

struct UnzipCall {
    std::string archive = "c:\\test.zip";
    int32_t action = LSUZ_EXTRACT;
    int32_t flags = LSUZ_FLAG_EXTRACT;
    std::string names = "*.*";
    std::string target = "c:\\out";
    std::string password;
    ZipProgressFn callback = nullptr;
    Heard* heard = nullptr;

    int32_t Run() {
        Heard::Listen(heard, LSUZ_SETPATHCHECK, LSUZ_SETMSG);
        LSUZ_ZIPNAME(Text(archive));
        LSUZ_INCLUDE(Text(names));
        LSUZ_EXTRACTTO(Text(target));
        if (!password.empty()) {
            LSUZ_PASSWORD(Text(password));
        }
        LSUZ_SETCALLBACK(callback);
        return LSUZ_EXECUTE(action, flags);
    }
};

// The library's test of an archive (its structure and data, with the password when one is given).
inline int32_t TestArchive(const std::string& archive = "c:\\test.zip",
                           const std::string& password = "") {
    return UnzipCall{
        .archive = archive, .action = LSUZ_TEST, .flags = LSUZ_FLAG_TEST, .password = password}
        .Run();
}

// Zips list into archive with AES and password.
inline int32_t EncryptedZip(const std::string& archive, const std::string& list,
                            const std::string& password) {
    return ZipCall{.archive = archive,
                   .flags = LSZIP_FLAG_BASE | LSZIP_FLAG_ENCRYPT,
                   .list = list,
                   .password = password}
        .Run();
}

struct CraftedEntry {
    std::string name;
    std::string data;
    uint32_t unixMode = 0100644;
};

// An archive written straight with libzip, names exactly as given (hostile ones included).
inline void Craft(const fs::path& path, const std::vector<CraftedEntry>& entries) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (const auto& entry : entries) {
        zip_source_t* source = zip_source_buffer(za, entry.data.data(), entry.data.size(), 0);
        zip_int64_t index = zip_file_add(za, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
        if (index < 0) {
            throw std::runtime_error("libzip refused " + entry.name);
        }
        zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX, entry.unixMode << 16);
    }
    if (zip_close(za) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// 7-Zip installs as 7zz from Debian's 7zip package, as 7z from others.
inline std::string SevenZip() {
    for (const char* name : {"7zz", "7z"}) {
        if (Installed(name)) {
            return name;
        }
    }
    return {};
}

inline int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

struct ListedEntry {
    std::string name;
    // Packed: compare its numbers as values (+record.size); the test macros take references,
    // and a reference to a misaligned field is undefined.
    ZipEntryRecord record;
    std::string fullName;
    int64_t size;
};

// The entries of an archive as the listing delivers them; code receives the count or status.
inline std::vector<ListedEntry> ListEntries(std::string archive, int32_t* code = nullptr) {
    LSUZ_RESET();
    LSUZ_ZIPNAME(Text(archive));
    int32_t count = LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST);
    if (code) {
        *code = count;
    }
    std::vector<ListedEntry> entries;
    std::vector<char> fullName(65536);
    for (int32_t i = 0; i < count; ++i) {
        ListedEntry entry{};
        int64_t compressed = 0;
        if (LSUZ_GETNEXTEX(&entry.record, fullName.data(), 65536, &entry.size, &compressed) != 0) {
            break;
        }
        entry.name = entry.record.name;
        entry.fullName = fullName.data();
        entries.push_back(entry);
    }
    LSUZ_RESET();
    return entries;
}

inline std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    for (const auto& entry : ListEntries(archive)) {
        names.push_back(entry.fullName);
    }
    return names;
}

}  // namespace vantrel::ziplib::testing
