#include "platform/asp/HostConversions.h"

#include <charconv>
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

namespace {

// Groups the digits of whole by threes with the thousands separator, onto out.
void AppendGrouped(std::string& out, std::string_view whole) {
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) {
            out += ',';
        }
        out += whole[i];
    }
}

void AppendDecimal(std::string& out, int64_t value) {
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

}  // namespace

std::string FormatNumber(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    std::string_view digits(buffer);
    size_t point = digits.find('.');
    std::string_view whole = digits.substr(0, point);
    std::string_view fraction = point == std::string::npos ? "" : digits.substr(point);
    bool negative = value < 0 && std::stod(buffer) != 0.0;
    std::string text = negative ? "-" : "";
    AppendGrouped(text, whole);
    text += fraction;
    return text;
}

std::string FormatShortDate(int year, int month, int day) {
    std::string text;
    AppendShortDate(text, year, month, day);
    return text;
}

std::string FormatLongTime(int hour, int minute, int second) {
    std::string text;
    AppendLongTime(text, hour, minute, second);
    return text;
}

void AppendWholeNumber(std::string& out, uint64_t value) {
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    AppendGrouped(out, std::string_view(digits, static_cast<size_t>(end - digits)));
}

void AppendShortDate(std::string& out, int year, int month, int day) {
    AppendDecimal(out, month);
    out += '/';
    AppendDecimal(out, day);
    out += '/';
    AppendDecimal(out, year);
}

void AppendLongTime(std::string& out, int hour, int minute, int second) {
    AppendDecimal(out, hour % 12 == 0 ? 12 : hour % 12);
    for (int part : {minute, second}) {
        out += ':';
        out += static_cast<char>('0' + part / 10 % 10);
        out += static_cast<char>('0' + part % 10);
    }
    out += hour < 12 ? " AM" : " PM";
}

}  // namespace vantrel::asp
