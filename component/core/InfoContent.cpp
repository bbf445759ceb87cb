// The information page's content: the component's and the zip library's versions.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteInfoContent() { Write("Quillfen Farbale v1.10<BR>" + strNewLine); }

std::string Farbale::GetZipLibraryVersion() { return {}; }

std::string Farbale::GetUnzipLibraryVersion() { return {}; }

}  // namespace vantrel
