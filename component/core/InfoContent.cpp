// The information page's content: the component's and the zip library's versions.

#include "component/core/Farbale.h"

namespace vantrel {

namespace {

constexpr const char* kComponentTitle = "Quillfen Farbale v1.10";

}  // namespace

void Farbale::WriteInfoContent() {
    Write(strSpanSmall + kComponentTitle + "<BR>" + strNewLine);
    std::string zipVersion = GetZipLibraryVersion();
    std::string unzipVersion = GetUnzipLibraryVersion();
    Write("Installed compression system versions: ZIP v" + zipVersion + ", UNZIP v" + unzipVersion +
          strNewLine);
    Write("</SPAN>");
}

}  // namespace vantrel
