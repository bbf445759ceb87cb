#pragma once
// The sentence for each status code of the zip library, as the result and contents pages show it.

#include <cstdint>
#include <string>

namespace vantrel {

// The text of code; "Un-identified Error." for every code the table does not list.
std::string StatusMessage(const int32_t& code);

}  // namespace vantrel
