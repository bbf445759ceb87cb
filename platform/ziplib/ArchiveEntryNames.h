#pragma once
// The names of every entry of an open archive, as stored.

#include <zip.h>

#include <string>
#include <vector>

namespace vantrel::ziplib {

std::vector<std::string> EntryNames(zip_t* za);

// libzip shows a NUL byte of a name as a blank (and then, for a name it takes as CP437, every
// byte as one character). The name as libzip shows it, with U+FFFD, the mark of a byte a name
// cannot carry, where the stored name holds a NUL byte: no file, list or page could carry it.
std::string NameWithNulMarked(const std::string& stored, const std::string& shown);

}  // namespace vantrel::ziplib
