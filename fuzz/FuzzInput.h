#pragma once
// Turns one fuzz input into the several texts a target needs: the input's bytes cut at each 0xFF
// (a byte that valid UTF-8 never holds, so every other byte, NUL and control characters included,
// can stand inside a text). Missing texts are empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::fuzz {

inline constexpr char kFieldSeparator = '\xff';

inline std::vector<std::string> SplitFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    size_t field = 0;
    for (size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == kFieldSeparator && field + 1 < count) {
            ++field;
        } else {
            fields[field] += c;
        }
    }
    return fields;
}

}  // namespace vantrel::fuzz
