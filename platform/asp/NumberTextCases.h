#pragma once
// Test cases shared by every program that reads a period through the host's number test: the
// conversions themselves, the component at creation and the settings dialog. One table, so the
// component and the dialog cannot drift apart on what counts as a number.

#include <cstdint>
#include <string_view>

namespace vantrel::asp::testing {

enum class NumberReading {
    NotANumber,  // IsNumeric is false
    Overflow,    // numeric, but no signed 32-bit whole number
    Whole,       // numeric, with the whole number given
};

struct NumberTextCase {
    std::string_view text;
    NumberReading reading;
    int32_t whole = 0;
};

inline constexpr NumberTextCase kNumberTextCases[] = {
    // Plain decimals, rounded halves to even.
    {"30", NumberReading::Whole, 30},
    {"65500", NumberReading::Whole, 65500},
    {"12.5", NumberReading::Whole, 12},
    {"45.5", NumberReading::Whole, 46},
    {"44.5", NumberReading::Whole, 44},
    {"30.6", NumberReading::Whole, 31},
    {"2.5000000000000001", NumberReading::Whole, 3},
    {"-2.5", NumberReading::Whole, -2},
    {".5", NumberReading::Whole, 0},
    {"1.", NumberReading::Whole, 1},
    {"0", NumberReading::Whole, 0},
    {"4", NumberReading::Whole, 4},
    {"65501", NumberReading::Whole, 65501},
    {"1e3", NumberReading::Whole, 1000},
    {"4.5E+1", NumberReading::Whole, 45},
    {"2E-2", NumberReading::Whole, 0},
    {"2147483647", NumberReading::Whole, 2147483647},
    {"-2147483648", NumberReading::Whole, -2147483647 - 1},
    // Blanks, signs, parentheses, currency and thousands separators.
    {" 300 ", NumberReading::Whole, 300},
    {"\t300\t", NumberReading::Whole, 300},
    {"+7", NumberReading::Whole, 7},
    {"- 30", NumberReading::Whole, -30},
    {"30-", NumberReading::Whole, -30},
    {"(30)", NumberReading::Whole, -30},
    {"($ 30)", NumberReading::Whole, -30},
    {"$300", NumberReading::Whole, 300},
    {"300$", NumberReading::Whole, 300},
    {"65,500", NumberReading::Whole, 65500},
    {"1,0", NumberReading::Whole, 10},
    {"$1,000.50", NumberReading::Whole, 1000},
    // Hexadecimal and octal: 32-bit patterns.
    {"&H1F", NumberReading::Whole, 31},
    {" &hff ", NumberReading::Whole, 255},
    {"&HFFFF", NumberReading::Whole, 65535},
    {"&HFFFFFFFF", NumberReading::Whole, -1},
    {"&O17", NumberReading::Whole, 15},
    // Numbers beyond a 32-bit whole number.
    {"99999999999", NumberReading::Overflow},
    {"2147483648", NumberReading::Overflow},
    {"-2147483649", NumberReading::Overflow},
    {"2147483647.5", NumberReading::Overflow},
    {"1e308", NumberReading::Overflow},
    {"$99,999,999,999", NumberReading::Overflow},
    // Not numbers.
    {"", NumberReading::NotANumber},
    {" ", NumberReading::NotANumber},
    {"abc", NumberReading::NotANumber},
    {"1 2", NumberReading::NotANumber},
    {"0x10", NumberReading::NotANumber},
    {"e3", NumberReading::NotANumber},
    {"1e", NumberReading::NotANumber},
    {"1e400", NumberReading::NotANumber},
    {".", NumberReading::NotANumber},
    {"--1", NumberReading::NotANumber},
    {"-30-", NumberReading::NotANumber},
    {"(30", NumberReading::NotANumber},
    {"30)", NumberReading::NotANumber},
    {",30", NumberReading::NotANumber},
    {"1.2.3", NumberReading::NotANumber},
    {"$", NumberReading::NotANumber},
    {"$1e3", NumberReading::NotANumber},
    {"&H", NumberReading::NotANumber},
    {"&HG", NumberReading::NotANumber},
    {"&O8", NumberReading::NotANumber},
    {"-&H10", NumberReading::NotANumber},
    {"&H100000000", NumberReading::NotANumber},
};

}  // namespace vantrel::asp::testing
