// The result page: runs the posted operation and reloads the file frames.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::WriteResultPage(bool& zipFlag) {
    Write(strPageHead + "<BODY>Operations are not available yet.</BODY></HTML>");
    return false;
}

}  // namespace vantrel
