// The zip controls page.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteZipControls() { Write("<HTML><BODY>Zip controls</BODY></HTML>"); }

}  // namespace vantrel
