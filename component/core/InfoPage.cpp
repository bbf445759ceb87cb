// The information page that the result frame shows first: the page shell around its content.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteInfoPage() {
    Write(strPageHead);
    Write("</HEAD>" + strNewLine + "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine +
          strFontOpen + strNewLine);
    WriteInfoContent();
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    Write(strPageClose);
}

}  // namespace vantrel
