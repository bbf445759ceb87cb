#pragma once
// Shared by the benchmarks: a piece of work timed over several runs, and the programs' arguments.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace vantrel::bench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

inline double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The widths of the name and of each time in the line Time prints.
struct TimeColumns {
    int name;
    int time;
};

// Runs work `runs` times and prints the median and best elapsed time, and the median processor
// time, which a busy machine disturbs less.
template <typename Work>
void Time(const char* what, int runs, Work work, TimeColumns columns) {
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
        "%-*s elapsed median %*.1f ms, best %*.1f ms; "
        "processor median %*.1f ms (%d runs)\n",
        columns.name, what, columns.time, elapsed[elapsed.size() / 2], columns.time,
        elapsed.front(), columns.time, processor[processor.size() / 2], runs);
}

// The program's argument at index as a number, or fallback when it is not given.
inline int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

}  // namespace vantrel::bench
