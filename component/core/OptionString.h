#pragma once
// The option string OS: an operation letter and one character per option. Its layout depends on the
// call: the zip page's "-", "F" and "U" calls take six characters ([-FU][-P][level][-S][-R][-M]),
// every other call three ([letter][-P][-R]). Shorter strings leave the missing options off.

#include <string_view>

namespace vantrel {

// True when options is no longer than its layout and each character is one its position allows.
// The level position of the zip layout is left to the zip operation, which refuses a non-digit
// there with its own conversion error. The letter itself is the result page's to judge.
bool OptionStringFitsLayout(std::string_view options, bool zipCall);

}  // namespace vantrel
