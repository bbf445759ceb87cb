// Times the source page for one folder of many files (100,000 by default): the page orders every
// name but examines only the files it shows, so it must stay within tens of milliseconds.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "component/core/PageHarness.h"
#include "platform/files/FolderListing.h"

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

double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Runs work `runs` times and prints the median and best elapsed time, and the median processor
// time, which a busy machine disturbs less.
template <typename Work>
void Time(const char* what, int runs, Work work) {
    std::vector<double> elapsed, processor;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        double cpuStart = CpuMilliseconds();
        work();
        processor.push_back(CpuMilliseconds() - cpuStart);
        elapsed.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(elapsed.begin(), elapsed.end());
    std::sort(processor.begin(), processor.end());
    std::printf(
        "%-16s elapsed median %7.1f ms, best %7.1f ms; processor median %7.1f ms (%d runs)\n", what,
        elapsed[elapsed.size() / 2], elapsed.front(), processor[processor.size() / 2], runs);
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
    std::printf("page: %zu bytes\n", request.Run().size());
    Time("source page", runs, [&] { request.Run(); });
    Time("  files shown", runs, [] { vantrel::platform::ListFiles("c:\\many\\", "*.*", 1000); });
    Time("  subfolders", runs, [] { vantrel::platform::ListSubfolders("c:\\many\\"); });
    return 0;
}
