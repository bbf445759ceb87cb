// Times the source page for one folder of many files (100,000 by default): the page orders every
// name but examines only the files it shows. Once the folder has stood unchanged for a few
// seconds its names are kept (see FolderListing), so the page is timed both right after each
// change of the folder and when it stands unchanged.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchSupport.h"
#include "component/core/PageHarness.h"
#include "platform/files/FolderListing.h"

namespace {

using vantrel::bench::Argument;
using vantrel::bench::Time;

void MakeFiles(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        std::string name = folder / ("document" + std::to_string(i * 7919 % count) + ".txt");
        int fd = ::open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

constexpr vantrel::bench::TimeColumns kColumns{16, 7};

}  // namespace

int main(int argc, char** argv) {
    const int files = Argument(argc, argv, 1, 100000);
    const int runs = Argument(argc, argv, 2, 10);
    vantrel::testing::TemporaryServer server;
    std::printf("creating %d files...\n", files);
    MakeFiles(server.DriveFolder() / "many", files);

    vantrel::testing::PageRequest request;
    request.query = {{"OP", "source"}};
    request.form = {{"SP", "c:\\many\\*.*"}};
    std::printf("page: %zu bytes\n", request.Run().size());
    const std::string changer = (server.DriveFolder() / "many" / "changed").string();
    Time(
        "  just changed", runs,
        [&] {
            ::close(::open(changer.c_str(), O_CREAT | O_WRONLY, 0644));
            ::unlink(changer.c_str());
            request.Run();
        },
        kColumns);
    std::printf("letting the folder settle...\n");
    ::sleep(3);
    Time(
        "source page", runs, [&] { request.Run(); }, kColumns);
    Time(
        "  files shown", runs, [] { vantrel::platform::ListFolder("c:\\many\\", "*.*", 1000); },
        kColumns);
    Time(
        "  subfolders", runs, [] { vantrel::platform::ListFolder("c:\\many\\", "", 0); }, kColumns);
    return 0;
}
