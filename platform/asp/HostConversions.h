#pragma once
// The scripting host's conversions and locale, as the component and the security dialog rely on
// them: IsNumeric, conversion to a 32-bit whole number with halves rounded to even, and the
// server's number, date and time formats (thousands separator ",", M/D/YYYY, h:mm:ss AM/PM).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::asp {

// True for a text that HostNumber.h reads as a number and whose value a double holds:
// "12", " -4.5 ", "1e3", "65,500", "$300", "(30)", "&H1F". False for "", "abc", "1 2", "0x10",
// "1e400".
bool IsNumeric(std::string_view text);

// The value of a numeric text, or nullopt when it is not numeric.
std::optional<double> NumericValue(std::string_view text);

// The text's value as a signed 32-bit whole number: a decimal rounded halves to the even
// neighbour (12.5 -> 12, 45.5 -> 46, "1e3" -> 1000), a hexadecimal or octal pattern as it stands
// ("&HFFFFFFFF" -> -1). nullopt when the text is not numeric or the value does not fit, so a
// caller that has seen IsNumeric hold learns of an overflow.
std::optional<int32_t> ToWholeNumber(std::string_view text);

// 1234567.891 with 2 decimals -> "1,234,567.89"; with 0 decimals -> "1,234,568".
std::string FormatNumber(double value, int decimals);
// 12/17/1999
std::string FormatShortDate(int year, int month, int day);
// 1:32:30 PM
std::string FormatLongTime(int hour, int minute, int second);

// The same appended to out, for pages that write many of them: a whole number as FormatNumber
// writes it with 0 decimals, a date, a time.
void AppendWholeNumber(std::string& out, uint64_t value);
void AppendShortDate(std::string& out, int year, int month, int day);
void AppendLongTime(std::string& out, int hour, int minute, int second);

}  // namespace vantrel::asp
