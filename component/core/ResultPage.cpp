// The result page: runs the posted operation, lets it report into the page, and makes the file
// frames reload so that the user sees the changed files.
#include "component/core/Farbale.h"
#include "component/core/OperationCall.h"
#include "component/core/OptionString.h"

namespace vantrel {

namespace {

constexpr std::string_view kParameterError = "Parameter Error<P>";
constexpr std::string_view kUnnamedEntryDelete =
    "<B>Error:</B> A selected entry has a name that this page cannot show exactly, so it cannot "
    "be deleted from here. Nothing was deleted.<P>";

}  // namespace

// The operation letter (first character of the option string) chooses the operation. The source
// frame always reloads; the target frame too after every call from the unzip controls or contents
// page except a test. An empty option string gives a bare error page without the reload script.
bool Farbale::WriteResultPage(bool& zipFlag) {
    Write(strPageHead);
    Write("<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine + strFontOpen + strNewLine);
    report_.Begin();
    const asp::OperationRecord asked = AskedOperation(
        {strOperation, strSourcePath, strSourceList, strTargetPath, strZipNameList, strOptions});
    if (strOptions.empty()) {
        Write(kParameterError);
        RecordOperation(asked, false);
        return false;
    }
    // An empty entry list means "all entries" for extraction; a delete with no entries chosen
    // must delete nothing, so it keeps its empty list.
    const bool entriesChosen = !strZipNameList.empty();
    strZipNameList = EntryListOfCall(strZipNameList);

    // An option string that does not fit its layout (too long, or a character that its position
    // does not allow) is refused like an unknown letter: a thousand characters are no "move".
    const char given = strOptions.front();
    const char letter = OptionStringFitsLayout(strOptions, zipFlag) ? given : '\0';
    bool result = false;
    const std::string archive = strSourcePath + strSourceList;
    switch (letter) {
        case '-':
        case 'F':
        case 'U':
            result = zipFlag
                         ? ZipOperation(strTargetPath, strSourceList, strPassword, strOptions)
                         : UnzipOperation(archive, strTargetPath, "*.*", strPassword, strOptions);
            break;
        case 'T':
        case 'E':
            // A byte the contents page could not carry stands for itself again through "?".
            result = UnzipOperation(archive, strTargetPath,
                                    WithWildcardForUncarriedBytes(strZipNameList), strPassword,
                                    strOptions);
            break;
        case 'D':
            // A wildcard in place of such a byte could delete other entries too.
            if (HoldsUncarriedBytes(strZipNameList)) {
                Write(kUnnamedEntryDelete);
                break;
            }
            [[fallthrough]];
        case 'X': {
            strOptions = strOptions.substr(0, 2) + "5---";
            std::string names = letter == 'D' && !entriesChosen ? "" : strZipNameList;
            result = ZipOperation(archive, names, strPassword, strOptions);
            break;
        }
        default:
            Write(kParameterError);
            result = false;
    }
    RecordOperation(asked, result);

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

// A listener that fails never changes the page: the operation has run and the page reports it.
void Farbale::RecordOperation(asp::OperationRecord asked, bool succeeded) {
    asp::OperationRecord operation = report_.Finish(std::move(asked), succeeded);
    try {
        const auto& record = Context().recordOperation;
        if (record) {
            record(operation);
        }
    } catch (...) {
    }
}

}  // namespace vantrel
