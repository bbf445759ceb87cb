// The target frame: the folder and the zip file name to write.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteTargetPage() { Write("<HTML><BODY>Target page</BODY></HTML>"); }

int16_t Farbale::FillTargetLists(const std::string&, std::string&, std::string&) { return -1; }

}  // namespace vantrel
