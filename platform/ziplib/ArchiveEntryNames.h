#pragma once
// The names of every entry of an open archive, as stored.

#include <zip.h>

#include <string>
#include <vector>

namespace vantrel::ziplib {

std::vector<std::string> EntryNames(zip_t* za);

}  // namespace vantrel::ziplib
