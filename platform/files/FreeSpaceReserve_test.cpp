// The reserve of free space that extraction keeps: its setting and its measures of a pretended
// disk (a real disk is filled through the C interface in ArchiveBombs).
#include "platform/files/FreeSpaceReserve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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

}  // namespace
}  // namespace vantrel::platform
