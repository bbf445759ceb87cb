// The unzip controls page.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteUnzipControls() { Write("<HTML><BODY>Unzip controls</BODY></HTML>"); }

void Farbale::WriteUnzipOptionRows(bool) {}

}  // namespace vantrel
