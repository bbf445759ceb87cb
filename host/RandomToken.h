#pragma once
// Unguessable tokens such as session ids. Every token comes from the kernel's random generator
// (getrandom), the one source shared by all callers: nothing is seeded or opened per token.

#include <cstddef>
#include <string>

namespace vantrel::host {

// `bytes` random bytes as lower-case hex. Throws std::runtime_error when the kernel gives none.
std::string RandomToken(size_t bytes = 16);

}  // namespace vantrel::host
