// The zip contents page.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteZipContents() { Write("<HTML><BODY>Zip contents</BODY></HTML>"); }

}  // namespace vantrel
