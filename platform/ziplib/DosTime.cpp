#include "platform/ziplib/DosTime.h"

namespace vantrel::ziplib {

DosDateTime ToDosDateTime(std::time_t when) {
    std::tm local{};
    if (!localtime_r(&when, &local) || local.tm_year < 80) {
        return {static_cast<uint16_t>((1 << 5) | 1), 0};  // 1 January 1980, the earliest date
    }
    DosDateTime dos;
    dos.date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                     local.tm_mday);
    dos.time =
        static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return dos;
}

bool FileIsNewerThanEntry(std::time_t fileTime, std::time_t entryTime) {
    return fileTime - (fileTime % 2) > entryTime;
}

}  // namespace vantrel::ziplib
