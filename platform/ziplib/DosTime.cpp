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

std::time_t FromDosDateTime(DosDateTime dos) {
    std::tm local{};
    local.tm_year = (dos.date >> 9) + 80;
    local.tm_mon = ((dos.date >> 5) & 15) - 1;
    local.tm_mday = dos.date & 31;
    local.tm_hour = dos.time >> 11;
    local.tm_min = (dos.time >> 5) & 63;
    local.tm_sec = (dos.time & 31) * 2;
    local.tm_isdst = -1;
    return mktime(&local);
}

bool FileIsNewerThanEntry(std::time_t fileTime, std::time_t entryTime) {
    return fileTime - (fileTime % 2) > entryTime;
}

}  // namespace vantrel::ziplib
