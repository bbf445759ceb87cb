// The debug echo of the request fields, written on every page while the session's debugmode is on.
#include "component/core/Escape.h"
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteDebugEcho() {
    // Values are escaped: the echo shows what arrived without letting it become markup. A password
    // is never shown, nor its length: only whether one arrived.
    const std::string maskedPassword = strPassword.empty() ? "" : "********";
    const std::pair<const char*, const std::string*> lines[] = {
        {"<P>Operation is: ", &strOperation},    {"Source path is: ", &strSourcePath},
        {"Source list is: ", &strSourceList},    {"Target path is: ", &strTargetPath},
        {"Zip Name List is: ", &strZipNameList}, {"Password is: ", &maskedPassword},
        {"ZipFile Name is: ", &strZipFileName},  {"Zip Disabled is: ", &strZipDisabled},
    };
    for (const auto& [label, value] : lines) {
        Write(label + HtmlEscape(*value) + "<BR>" + strNewLine);
    }
    Write("Options String is: " + HtmlEscape(strOptions) + "<P>" + strNewLine);
}

}  // namespace vantrel
