#pragma once
// A number written as text, read the way the scripting host's number test reads it in the
// server's locale (decimal point ".", thousands separator ",", currency sign "$"):
//
//   - blanks round the number, and between it and its signs: " 30 ", "- 30"
//   - one leading "+" or "-", or a trailing one: "-30", "30-"
//   - a number in parentheses is negative: "(30)"
//   - a currency sign before the number or after it: "$300", "300$"
//   - thousands separators anywhere in the whole part after its first digit: "65,500", "1,0"
//   - a fraction and an exponent: "30.6", ".5", "1e3", "4.5E+1" (no exponent with a currency sign)
//   - hexadecimal and octal whole numbers: "&H1F", "&hff", "&O17" (blanks only round them)
//
// Anything else is not a number: "", "abc", "1 2", "0x10", "(30", "--1", "&O8".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::asp {

struct HostNumber {
    bool negative = false;
    // A hexadecimal or octal number: its 32-bit pattern, read as a signed whole number
    // (&HFFFFFFFF is -1). Longer patterns are not numbers.
    std::optional<uint32_t> bits;
    // A decimal number: its digits without leading zeros ("0" for zero) and the power of ten they
    // are scaled by: "12.50" has the digits "1250" and the scale -2.
    std::string digits;
    int64_t scale = 0;
};

// The number the text holds, or nullopt when the host would not call it a number.
std::optional<HostNumber> ParseHostNumber(std::string_view text);

}  // namespace vantrel::asp
