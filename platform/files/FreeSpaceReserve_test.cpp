// The reserve of free space that extraction keeps: its setting, its measures of a pretended
// disk, and a real small file system written until the reserve stops it.
#include "platform/files/FreeSpaceReserve.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace vantrel::platform {
namespace {

constexpr uint64_t KiB = 1024, MiB = KiB << 10, GiB = MiB << 10, TiB = GiB << 10;

TEST(FreeSpaceReserveSetting, ReadsBytesSuffixesAndPercentages) {
    // Each text with the reserve it gives on a file system of 1 TiB.
    const std::pair<const char*, uint64_t> accepted[] = {
        {"0", 0},        {"0%", 0},   {"1048576", MiB}, {"4k", 4 * KiB},     {"512M", 512 * MiB},
        {"2G", 2 * GiB}, {"1T", TiB}, {"5%", TiB / 20}, {"0.5%", TiB / 200}, {"100%", TiB}};
    for (const auto& [text, bytes] : accepted) {
        auto setting = ParseReserve(text);
        ASSERT_TRUE(setting) << text;
        EXPECT_EQ(setting->BytesFor(TiB), bytes) << text;
    }
    for (const char* text : {"", "-1", "+5", " 5G", "5G ", "5GB", "5X", "1.5G", "101%", "5.%",
                             ".5%", "%", "1e3", "16777216T", "99999999999999999999"}) {
        EXPECT_FALSE(ParseReserve(text)) << text;
    }
}

TEST(FreeSpaceReserveSetting, DefaultsToOneGiBOrFivePercentWhicheverIsSmaller) {
    unsetenv(kMinFreeSpaceVariable);
    EXPECT_EQ(ReserveFromEnvironment().BytesFor(TiB), GiB);
    EXPECT_EQ(ReserveFromEnvironment().BytesFor(8 * MiB), 8 * MiB / 20);
    setenv(kMinFreeSpaceVariable, "nonsense", 1);
    EXPECT_EQ(ReserveFromEnvironment().BytesFor(TiB), GiB);
    setenv(kMinFreeSpaceVariable, "10%", 1);
    EXPECT_EQ(ReserveFromEnvironment().BytesFor(TiB), TiB / 10);
    unsetenv(kMinFreeSpaceVariable);
}

// A disk that the test fills: our admitted writes and other writers take its space.
struct PretendDisk {
    uint64_t available;
    uint64_t size = TiB;
    uint64_t blockSize = 4 * KiB;
    int probes = 0;
    bool broken = false;

    FreeSpaceReserve::Probe Probe() {
        return [this](int) -> std::optional<FreeSpace> {
            ++probes;
            return broken ? std::nullopt : std::optional(FreeSpace{available, size, blockSize});
        };
    }
    // Admits chunks of bytes until refused, taking whole blocks of the disk for each; how many
    // were admitted.
    int WriteUntilRefused(FreeSpaceReserve& reserve, uint64_t chunk, int most = 100000) {
        int admitted = 0;
        while (admitted < most && reserve.Admit(chunk)) {
            uint64_t taken = std::max<uint64_t>((chunk + blockSize - 1) / blockSize, 1) * blockSize;
            available -= std::min(available, taken);
            ++admitted;
        }
        return admitted;
    }
};

ReserveSetting Bytes(uint64_t bytes) {
    return {bytes, std::nullopt};
}

TEST(FreeSpaceReserve, StopsBeforeTheReserveMeasuringEveryFewMegabytes) {
    PretendDisk disk{.available = 101 * MiB};
    FreeSpaceReserve reserve(-1, Bytes(MiB), disk.Probe());
    EXPECT_EQ(disk.WriteUntilRefused(reserve, 64 * KiB), 100 * 16);
    EXPECT_GE(disk.available, MiB);
    EXPECT_LE(disk.probes, 100 / 4 + 3);
}

TEST(FreeSpaceReserve, SeesOtherWritersWithinTheMeasuringInterval) {
    PretendDisk disk{.available = GiB};
    FreeSpaceReserve reserve(-1, Bytes(MiB), disk.Probe());
    ASSERT_TRUE(reserve.Admit(MiB));
    disk.available = 2 * MiB;  // someone else filled the disk
    int admitted = disk.WriteUntilRefused(reserve, 64 * KiB);
    EXPECT_LE(admitted * 64 * KiB, FreeSpaceReserve::kRemeasureAfter);
}

TEST(FreeSpaceReserve, CountsEverySmallWriteAsAWholeBlock) {
    PretendDisk disk{.available = MiB + 100 * 4 * KiB};
    FreeSpaceReserve reserve(-1, Bytes(MiB), disk.Probe());
    EXPECT_EQ(disk.WriteUntilRefused(reserve, 1, 1000), 100);
}

TEST(FreeSpaceReserve, RefusesWhatItCannotMeasureAndKeepsNothingBackForZero) {
    PretendDisk broken{.available = TiB, .broken = true};
    FreeSpaceReserve unmeasured(-1, Bytes(0), broken.Probe());
    EXPECT_FALSE(unmeasured.Admit(1));
    PretendDisk disk{.available = 10 * MiB};
    FreeSpaceReserve none(-1, *ParseReserve("0"), disk.Probe());
    EXPECT_EQ(disk.WriteUntilRefused(none, MiB), 10);
    EXPECT_EQ(disk.available, 0u);
}

// A real file system of 8 MiB (root only; skipped elsewhere): extraction-sized writes stop with
// the default reserve of 5% still free, before the file system itself would refuse a write.
TEST(FreeSpaceReserve, KeepsTheDefaultReserveFreeOnARealSmallFileSystem) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("reserve-" + std::to_string(getpid()));
    fs::create_directories(folder);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8m") != 0) {
        fs::remove(folder);
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FreeSpaceReserve reserve(dir, ReserveSetting{}, MeasureFreeSpace, 256 * KiB);
    std::vector<char> chunk(64 * KiB, 'z');
    bool writesFailed = false;
    for (int file = 0; file < 1000 && reserve.Admit(0); ++file) {
        int fd = openat(dir, std::to_string(file).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        for (int i = 0; i < 7 && reserve.Admit(chunk.size()); ++i) {
            writesFailed |= write(fd, chunk.data(), chunk.size()) != ssize_t(chunk.size());
        }
        ::close(fd);
    }
    struct statvfs info {};
    fstatvfs(dir, &info);
    ::close(dir);
    umount2(folder.c_str(), MNT_DETACH);
    fs::remove(folder);
    EXPECT_FALSE(writesFailed);
    uint64_t left = uint64_t{info.f_bavail} * info.f_frsize;
    EXPECT_GE(left, 8 * MiB / 20);
    EXPECT_LT(left, 8 * MiB / 20 + 64 * KiB + 4 * KiB);
}

}  // namespace
}  // namespace vantrel::platform
