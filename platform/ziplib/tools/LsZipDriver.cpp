// lszip-driver: runs one call sequence of the zip library from the command line, the way the
// component drives it. Paths are Windows paths on the drives of VANTREL_DRIVES.
//
//   lszip-driver zip ARCHIVE ACTION LEVEL FLAGS LIST [PASSWORD]
//   lszip-driver extract ARCHIVE TARGET FLAGS NAMES [PASSWORD]
//   lszip-driver test ARCHIVE [PASSWORD]
//   lszip-driver list ARCHIVE
//
// Prints "status N" last (and the entries for list) and exits 0 only for status 0.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ziplib/lszip.h"

namespace {

int g_progressCalls = 0;

int32_t CountProgress(int32_t, int32_t, int32_t, int32_t, int32_t) {
    ++g_progressCalls;
    return 0;
}

char* Text(std::string& text) {
    return text.data();
}

int32_t Number(const std::string& text) {
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 0));
}

int32_t Zip(std::vector<std::string>& a) {
    LSZIP_SETTEMPATH(Text(a[0]));
    LSZIP_INCLUDE(Text(a[4]));
    if (a.size() > 5) {
        LSZIP_PASSWORD(Text(a[5]));
    }
    LSZIP_SETCALLBACK(CountProgress);
    return LSZIP_EXECUTE(Text(a[0]), Number(a[1]), Number(a[2]), Number(a[3]));
}

int32_t Extract(std::vector<std::string>& a) {
    LSUZ_ZIPNAME(Text(a[0]));
    LSUZ_INCLUDE(Text(a[3]));
    LSUZ_EXTRACTTO(Text(a[1]));
    if (a.size() > 4) {
        LSUZ_PASSWORD(Text(a[4]));
    }
    LSUZ_SETCALLBACK(CountProgress);
    return LSUZ_EXECUTE(LSUZ_EXTRACT, Number(a[2]));
}

int32_t Test(std::vector<std::string>& a) {
    std::string all = "*.*";
    LSUZ_ZIPNAME(Text(a[0]));
    LSUZ_INCLUDE(Text(all));
    if (a.size() > 1) {
        LSUZ_PASSWORD(Text(a[1]));
    }
    LSUZ_SETCALLBACK(CountProgress);
    return LSUZ_EXECUTE(LSUZ_TEST, LSUZ_FLAG_TEST);
}

int32_t List(std::vector<std::string>& a) {
    LSUZ_RESET();
    LSUZ_ZIPNAME(Text(a[0]));
    int32_t count = LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST);
    if (count < 0) {
        return count;
    }
    std::vector<char> name(65536);
    for (int32_t i = 0; i < count; ++i) {
        ZipEntryRecord record;
        int64_t size = 0, compressed = 0;
        int32_t code = LSUZ_GETNEXTEX(&record, name.data(), static_cast<int32_t>(name.size()),
                                      &size, &compressed);
        if (code != 0) {
            return code;
        }
        std::printf("%s\t%lld\t%lld\t%u\t0x%04x\n", name.data(), static_cast<long long>(size),
                    static_cast<long long>(compressed), record.method, record.flags);
    }
    LSUZ_RESET();
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: lszip-driver zip ARCHIVE ACTION LEVEL FLAGS LIST [PASSWORD]\n"
                 "       lszip-driver extract ARCHIVE TARGET FLAGS NAMES [PASSWORD]\n"
                 "       lszip-driver test ARCHIVE [PASSWORD]\n"
                 "       lszip-driver list ARCHIVE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The time zone is read once, as the host does: without TZ the C library looks at
    // /etc/localtime again for every time it converts, and reading an archive converts the time
    // of every entry.
    ::setenv("TZ", ":/etc/localtime", 0);
    if (argc < 3) {
        return Usage();
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    int32_t code;
    if (command == "zip" && args.size() >= 5) {
        code = Zip(args);
    } else if (command == "extract" && args.size() >= 4) {
        code = Extract(args);
    } else if (command == "test") {
        code = Test(args);
    } else if (command == "list") {
        code = List(args);
    } else {
        return Usage();
    }
    std::fprintf(stderr, "progress calls: %d\n", g_progressCalls);
    std::printf("status %d\n", code);
    return code == 0 ? 0 : 1;
}
