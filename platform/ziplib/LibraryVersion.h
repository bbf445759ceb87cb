#pragma once
// The version both sides report: 110 reads "1.10".

#include <cstdint>

namespace vantrel::ziplib {

inline constexpr int32_t kLibraryVersion = 110;

}  // namespace vantrel::ziplib
