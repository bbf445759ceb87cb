// The result page: runs the posted operation, lets it report into the page, and makes the file
// frames reload so that the user sees the changed files.
#include <algorithm>

#include "component/core/Farbale.h"

namespace vantrel {

namespace {

constexpr std::string_view kParameterError = "Parameter Error<P>";

}  // namespace

// The operation letter (first character of the option string) chooses the operation. The source
// frame always reloads; the target frame too after every call from the unzip controls or contents
// page except a test. An empty option string gives a bare error page without the reload script.
bool Farbale::WriteResultPage(bool& zipFlag) {
    Write(strPageHead);
    Write("<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine + strFontOpen + strNewLine);
    if (strOptions.empty()) {
        Write(kParameterError);
        return false;
    }
    // An empty entry list means "all entries" for extraction; a delete with no entries chosen
    // must delete nothing, so it keeps its empty list.
    const bool entriesChosen = !strZipNameList.empty();
    if (!entriesChosen) {
        strZipNameList = "*.*";
    }
    std::replace(strZipNameList.begin(), strZipNameList.end(), '\\', '/');

    const char letter = strOptions.front();
    bool result = false;
    switch (letter) {
        case '-':
        case 'F':
        case 'U':
            if (zipFlag) {
                result = ZipOperation(strTargetPath, strSourceList, strPassword, strOptions);
            } else {
                result = UnzipOperation(strSourcePath + strSourceList, strTargetPath, "*.*",
                                        strPassword, strOptions);
            }
            break;
        case 'T':
        case 'E':
            result = UnzipOperation(strSourcePath + strSourceList, strTargetPath, strZipNameList,
                                    strPassword, strOptions);
            break;
        case 'D':
        case 'X': {
            strOptions = strOptions.substr(0, 2) + "5---";
            std::string entries = letter == 'D' && !entriesChosen ? "" : strZipNameList;
            result = ZipOperation(strSourcePath + strSourceList, entries, strPassword, strOptions);
            break;
        }
        default:
            Write(kParameterError);
            result = false;
    }

    Write(strNewLine + strScriptOpen);
    Write("top.frames ['source'].doReload(false);" + strNewLine);
    if (letter != 'T' && !zipFlag) {
        Write("top.frames ['target'].doReload(false);" + strNewLine);
    }
    Write("//-->" + strNewLine + "</SCRIPT>" + strNewLine);
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    Write(strPageClose);
    return result;
}

}  // namespace vantrel
