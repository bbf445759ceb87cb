// The source frame: drives, folders and files to work on.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteSourcePage() { Write("<HTML><BODY>Source page</BODY></HTML>"); }

int16_t Farbale::FillSourceLists(const std::string&, std::string&, std::string&, std::string&,
                                 std::string&) {
    return -1;
}

}  // namespace vantrel
