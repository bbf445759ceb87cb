#pragma once
// The help page the control pages open (help.htm#zip, #unzip, #view); the host puts it into the
// web root when none is there.

#include <string_view>

namespace vantrel::host {

std::string_view DefaultHelpPage();

}  // namespace vantrel::host
