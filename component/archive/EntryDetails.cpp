#include "component/archive/EntryDetails.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "component/archive/EntryNameText.h"
#include "platform/asp/HostConversions.h"

namespace vantrel {

namespace {

// Days since 1 March of year 0 in the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

struct CivilDate {
    int64_t year;
    int month, day;
};

CivilDate CivilFromDays(int64_t days) {
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

// Out-of-range months and days roll over as the host's date arithmetic does: day 0 is the last day
// of the month before, month 0 the December before.
CivilDate RolledDate(int64_t year, int month, int day) {
    const int64_t monthIndex = year * 12 + (month - 1);
    const int64_t firstYear = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const int firstMonth = static_cast<int>(monthIndex - firstYear * 12) + 1;
    return CivilFromDays(DaysFromCivil(firstYear, firstMonth, 1) + (day - 1));
}

// "12/17/1999 at 1:32:30 PM"; the time of day wraps past midnight.
void AppendModified(std::string& out, int year, int month, int day, int hours, int minutes,
                    int seconds) {
    const CivilDate date = RolledDate(year, month, day);
    const int secondOfDay = (hours * 3600 + minutes * 60 + seconds) % 86400;
    asp::AppendShortDate(out, static_cast<int>(date.year), date.month, date.day);
    out += " at ";
    asp::AppendLongTime(out, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
}

void AppendAttributes(std::string& out, int32_t attributes) {
    static constexpr std::pair<int32_t, std::string_view> kBits[] = {
        {1, "Read-Only"},    {2, "Hidden"},        {4, "System File"},
        {8, "Volume Label"}, {16, "Subdirectory"}, {32, "Archive Set"},
    };
    bool first = true;
    for (const auto& [bit, words] : kBits) {
        if (attributes & bit) {
            out.append(first ? "" : ", ").append(words);
            first = false;
        }
    }
}

void AppendOptions(std::string& out, int16_t option) {
    static constexpr std::string_view kRates[] = {
        "Normal compression rate", "Maximum compression rate", "Fast compression rate",
        "Super Fast compression rate"};
    out.append(option & 1 ? "Encrypted, " : "Not Encrypted, ").append(kRates[(option & 6) / 2]);
}

}  // namespace

void AppendEntryDetails(std::string& out, std::string_view name, const ZipEntryRecord& record,
                        uint64_t size, uint64_t compressedSize) {
    const int32_t date = record.dosDate, time = record.dosTime;
    const int day = date & 31, month = (date >> 5) & 15, year = ((date >> 9) & 127) + 1980;
    const int seconds = 2 * (time & 31), minutes = (time >> 5) & 63, hours = (time >> 11) & 31;
    out += "File Name: ";
    AppendReadableEntryText(out, name);
    out += '|';
    std::string_view comment(record.comment, strnlen(record.comment, sizeof record.comment));
    if (!comment.empty()) {
        out += "Comment: ";
        AppendReadableEntryText(out, comment);
        out += '|';
    }
    out += "Last Modified: ";
    AppendModified(out, year, month, day, hours, minutes, seconds);
    out += "|Attributes: ";
    AppendAttributes(out, record.attributes);
    out += "|Compressed Size: ";
    asp::AppendWholeNumber(out, compressedSize);
    out += " bytes|Uncompressed Size: ";
    asp::AppendWholeNumber(out, size);
    // The ratio is negative when an entry grew.
    out += " bytes|Compression Ratio: ";
    out += std::to_string(static_cast<int16_t>(record.ratio));
    out += "%|Compression Method: ";
    out += MethodText(static_cast<int16_t>(record.method));
    out += "|Options: ";
    AppendOptions(out, static_cast<int16_t>(record.flags));
}

std::string AttributeText(int32_t attributes) {
    std::string text;
    AppendAttributes(text, attributes);
    return text;
}

std::string_view MethodText(int16_t method) {
    switch (method) {
        case 1:
            return "Shrunk";
        case 2:
        case 3:
        case 4:
        case 5:
            return "Reduced";
        case 6:
            return "Imploded";
        case 7:
            return "Tokenized";
        case 8:
            return "Deflated";
        default:
            return "Unknown";
    }
}

std::string OptionText(int16_t option) {
    std::string text;
    AppendOptions(text, option);
    return text;
}

int32_t ShiftBits(int32_t value, int16_t count) {
    if (count < 0) {
        // Division truncates toward zero, as multiplying by a power of two and truncating does.
        return count <= -32 ? 0 : static_cast<int32_t>(int64_t{value} / (int64_t{1} << -count));
    }
    const double shifted = std::ldexp(static_cast<double>(value), count);
    if (shifted > INT32_MAX || shifted < INT32_MIN) {
        throw std::overflow_error("Overflow");
    }
    return static_cast<int32_t>(shifted);
}

}  // namespace vantrel
