#include "platform/asp/HostConversions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/asp/HostNumber.h"

namespace vantrel::asp {

namespace {

// The whole number nearest to a decimal number, halves to the even neighbour, worked out on its
// digits so that no binary fraction shifts a half; nullopt beyond 32 bits.
std::optional<int32_t> RoundDecimal(const HostNumber& number) {
    const std::string& digits = number.digits;
    if (digits == "0") {
        return 0;
    }
    // Digits before the decimal point; the digits carry no leading zeros, so more than ten of
    // them cannot fit.
    int64_t wholeLength = static_cast<int64_t>(digits.size()) + number.scale;
    if (wholeLength > 10) {
        return std::nullopt;
    }
    int64_t whole = 0;
    for (int64_t i = 0; i < wholeLength; ++i) {
        whole = whole * 10 + (i < static_cast<int64_t>(digits.size()) ? digits[i] - '0' : 0);
    }
    if (wholeLength >= 0 && wholeLength < static_cast<int64_t>(digits.size())) {
        char first = digits[wholeLength];
        bool moreFollow = digits.find_first_not_of('0', wholeLength + 1) != std::string::npos;
        if (first > '5' || (first == '5' && (moreFollow || whole % 2 == 1))) {
            ++whole;
        }
    }
    int64_t value = number.negative ? -whole : whole;
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

bool IsNumeric(std::string_view text) {
    return NumericValue(text).has_value();
}

std::optional<double> NumericValue(std::string_view text) {
    std::optional<HostNumber> number = ParseHostNumber(text);
    if (!number) {
        return std::nullopt;
    }
    if (number->bits) {
        return static_cast<int32_t>(*number->bits);
    }
    std::string scientific = number->digits + "e" + std::to_string(number->scale);
    double value = std::strtod(scientific.c_str(), nullptr);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return number->negative ? -value : value;
}

std::optional<int32_t> ToWholeNumber(std::string_view text) {
    if (!IsNumeric(text)) {
        return std::nullopt;
    }
    std::optional<HostNumber> number = ParseHostNumber(text);
    if (number->bits) {
        return static_cast<int32_t>(*number->bits);
    }
    return RoundDecimal(*number);
}

std::string FormatNumber(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    std::string digits(buffer);
    size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : digits.substr(point);
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += whole[i];
    }
    bool negative = value < 0 && std::stod(digits) != 0.0;
    return (negative ? "-" : "") + grouped + fraction;
}

std::string FormatShortDate(int year, int month, int day) {
    return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}

std::string FormatLongTime(int hour, int minute, int second) {
    int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour12, minute, second,
                  hour < 12 ? "AM" : "PM");
    return buffer;
}

}  // namespace vantrel::asp
