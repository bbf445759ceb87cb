// Times the zip contents page for one archive of many entries (100,000 by default), and the
// library's listing alone, to show where the time goes.
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchSupport.h"
#include "component/archive/ZipLibrary.h"
#include "component/core/PageHarness.h"
#include "platform/ziplib/lszip.h"

namespace {

using vantrel::bench::Argument;
using vantrel::bench::Time;

// An archive of small deflated entries in a few hundred folders, as a real source tree has them.
bool MakeArchive(const std::string& path, int entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        return false;
    }
    static const char kText[] = "The quick brown fox jumps over the lazy dog. 0123456789\n";
    for (int i = 0; i < entries; ++i) {
        std::string name = "project/module" + std::to_string(i % 300) + "/source file " +
                           std::to_string(i) + ".txt";
        zip_source_t* source = zip_source_buffer(archive, kText, sizeof kText - 1, 0);
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, index, ZIP_CM_DEFLATE, 6);
    }
    return zip_close(archive) == 0;
}

constexpr vantrel::bench::TimeColumns kColumns{18, 8};

// The library's listing without the page: every entry fetched with its full name and sizes.
int32_t ListWithLibrary(const std::string& archive) {
    namespace lszip = vantrel::lszip;
    std::string name = archive;
    lszip::LSUZ_RESET();
    lszip::LSUZ_ZIPNAME(name);
    int32_t count = lszip::LSUZ_EXECUTE(LSUZ_LIST, LSUZ_FLAG_LIST);
    for (int32_t i = 0; i < count; ++i) {
        ZipEntryRecord record{};
        std::string fullName;
        int64_t size = 0, compressedSize = 0;
        if (lszip::LSUZ_GETNEXTEX(record, fullName, size, compressedSize) != 0) {
            break;
        }
    }
    lszip::LSUZ_RESET();
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    // As the web host does: the time zone is read once, not for every entry's time.
    ::setenv("TZ", ":/etc/localtime", 0);
    const int entries = Argument(argc, argv, 1, 100000);
    const int runs = Argument(argc, argv, 2, 5);
    vantrel::testing::TemporaryServer server;
    std::printf("creating an archive of %d entries...\n", entries);
    if (!MakeArchive((server.DriveFolder() / "big.zip").string(), entries)) {
        std::fprintf(stderr, "cannot create the archive\n");
        return 1;
    }

    vantrel::testing::PageRequest request;
    request.query = {{"OP", "unziplist"}, {"ZN", "c:\\big.zip"}};
    std::string page = request.Run();
    bool listed = page.find("Cannot read zip") == std::string::npos;
    std::printf("page: %zu bytes, %s\n", page.size(), listed ? "listed" : "NOT LISTED");
    if (!listed) {
        return 1;
    }
    Time(
        "contents page", runs, [&] { request.Run(); }, kColumns);
    Time(
        "  library listing", runs, [] { ListWithLibrary("c:\\big.zip"); }, kColumns);
    return 0;
}
