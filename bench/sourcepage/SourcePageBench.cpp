// Times the source page for one folder of many files (100,000 by default): the page orders every
// name but examines only the files it shows, so it must stay within tens of milliseconds.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "component/core/PageHarness.h"

namespace {

using Clock = std::chrono::steady_clock;

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

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    vantrel::testing::TemporaryServer server;
    std::printf("creating %d files...\n", files);
    MakeFiles(server.DriveFolder() / "many", files);

    vantrel::testing::PageRequest request;
    request.query = {{"OP", "source"}};
    request.form = {{"SP", "c:\\many\\*.*"}};
    std::vector<double> times;
    size_t pageSize = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        pageSize = request.Run().size();
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    std::printf("source page for %d files: median %.1f ms, best %.1f ms, worst %.1f ms "
                "(%d runs, page %zu bytes)\n",
                files, times[times.size() / 2], times.front(), times.back(), runs, pageSize);
    return 0;
}
