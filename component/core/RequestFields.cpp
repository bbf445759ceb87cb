// The request fields of every page: read once, trimmed of blanks, and refused as a whole when one
// of them carries a control character.
#include <algorithm>
#include <array>
#include <utility>

#include "component/core/Farbale.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

using platform::TrimBlanks;

namespace {

bool IsControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

// Only blanks are trimmed: a tab or a line break is part of the value (and then refused).
void Farbale::ReadRequestFields() {
    asp::Request& request = Context().request;
    strOperation = TrimBlanks(request.Item("OP"));
    strSourcePath = TrimBlanks(request.Form("SP"));
    strSourceList = TrimBlanks(request.Form("SL"));
    strTargetPath = TrimBlanks(request.Form("TP"));
    strPassword = TrimBlanks(request.Form("PW"));
    strZipNameList = TrimBlanks(request.Form("ZL"));
    strZipFileName = TrimBlanks(request.Item("ZN"));
    strZipDisabled = TrimBlanks(request.Form("ZD"));
    strOptions = TrimBlanks(request.Form("OS"));
}

// A NUL or another control character has no place in a path, a list, a password or an option
// string. Passed on, a NUL would let the policy test one path ("c:\outside\x%00c:\wwwroot\" holds
// \wwwroot\) while the file system opens another (the text up to the NUL). Such a request is
// refused before anything is checked or touched, in a small page of its own.
bool Farbale::RefuseControlCharacters() {
    const std::array<std::pair<const char*, const std::string*>, 9> fields = {{
        {"OP", &strOperation},
        {"SP", &strSourcePath},
        {"SL", &strSourceList},
        {"TP", &strTargetPath},
        {"PW", &strPassword},
        {"ZL", &strZipNameList},
        {"ZN", &strZipFileName},
        {"ZD", &strZipDisabled},
        {"OS", &strOptions},
    }};
    for (const auto& [name, value] : fields) {
        if (std::none_of(value->begin(), value->end(), IsControlCharacter)) {
            continue;
        }
        Write(strPageHead);
        Write("</HEAD>" + strNewLine + "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine +
              strFontOpen + strNewLine);
        Write("<B>Error:</B> The request field " + std::string(name) +
              " holds a control character (such as a NUL byte or a line break). The request has "
              "been refused; nothing was done.<P>" +
              strNewLine);
        Write(strPageClose);
        return true;
    }
    return false;
}

}  // namespace vantrel
