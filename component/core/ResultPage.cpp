// The result page: runs the posted operation, lets it report into the page, and makes the file
// frames reload so that the user sees the changed files.
#include <algorithm>

#include "component/core/Farbale.h"
#include "component/core/OptionString.h"

namespace vantrel {

namespace {

constexpr std::string_view kParameterError = "Parameter Error<P>";
constexpr std::string_view kUnnamedEntryDelete =
    "<B>Error:</B> A selected entry has a name that this page cannot show exactly, so it cannot "
    "be deleted from here. Nothing was deleted.<P>";
// What the contents page puts in place of the bytes of a name that it cannot carry.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

std::string WithWildcardForReplacements(std::string names) {
    for (size_t at = names.find(kReplacementCharacter); at != std::string::npos;
         at = names.find(kReplacementCharacter, at + 1)) {
        names.replace(at, kReplacementCharacter.size(), "?");
    }
    return names;
}

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

    // An option string that does not fit its layout (too long, or a character that its position
    // does not allow) is refused like an unknown letter: a thousand characters are no "move".
    const char given = strOptions.front();
    const char letter = OptionStringFitsLayout(strOptions, zipFlag) ? given : '\0';
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
            // A byte the contents page could not carry stands for itself again through "?".
            result = UnzipOperation(strSourcePath + strSourceList, strTargetPath,
                                    WithWildcardForReplacements(strZipNameList), strPassword,
                                    strOptions);
            break;
        case 'D':
            // A wildcard in place of such a byte could delete other entries too.
            if (strZipNameList.find(kReplacementCharacter) != std::string::npos) {
                Write(kUnnamedEntryDelete);
                break;
            }
            [[fallthrough]];
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
    if (given != 'T' && !zipFlag) {
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
