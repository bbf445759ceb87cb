#include "platform/asp/HostConversions.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vantrel::asp {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

size_t SkipDigits(std::string_view text, size_t at) {
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    return at;
}

// Sign, digits with an optional fraction (at least one digit), optional exponent.
bool IsDecimalNumber(std::string_view text) {
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    size_t integerEnd = SkipDigits(text, at);
    size_t digits = integerEnd - at;
    at = integerEnd;
    if (at < text.size() && text[at] == '.') {
        size_t fractionEnd = SkipDigits(text, at + 1);
        digits += fractionEnd - at - 1;
        at = fractionEnd;
    }
    if (digits == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        size_t exponentEnd = SkipDigits(text, at);
        if (exponentEnd == at) {
            return false;
        }
        at = exponentEnd;
    }
    return at == text.size();
}

}  // namespace

bool IsNumeric(std::string_view text) {
    return IsDecimalNumber(TrimBlanks(text));
}

std::optional<double> NumericValue(std::string_view text) {
    std::string_view trimmed = TrimBlanks(text);
    if (!IsDecimalNumber(trimmed)) {
        return std::nullopt;
    }
    return std::strtod(std::string(trimmed).c_str(), nullptr);
}

std::optional<int32_t> ToWholeNumber(std::string_view text) {
    auto value = NumericValue(text);
    if (!value) {
        return std::nullopt;
    }
    double rounded = std::nearbyint(*value);  // the default rounding mode sends halves to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<int32_t>::min() ||
        rounded > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(rounded);
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
