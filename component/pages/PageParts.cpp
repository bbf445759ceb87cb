// Pieces of markup that several pages write alike: the head with its script, the opening of the
// call form, the help button, a row of the control table, the drive and folder lists, the end.
#include "component/core/Farbale.h"
#include "component/pages/CheckBoxRow.h"

namespace vantrel {

void Farbale::WritePageScript(std::string_view script) {
    Write(strPageHead);
    Write(strScriptOpen);
    Write(script);
    Write("// -->" + strNewLine + "</SCRIPT>" + strNewLine + "</HEAD>" + strNewLine);
}

// Opens the body and the form that posts the page's call; the caller adds its fields.
void Farbale::WriteCallFormOpen(std::string_view callForm, std::string_view operation) {
    Write(strBodyOpen);
    Write(callForm);
    Write(strHiddenOpOpen + std::string(operation) + strQuote + ">" + strNewLine);
}

// The help button opens the help page at anchor; an empty line follows it.
void Farbale::WriteHelpButton(std::string_view anchor) {
    Write(strHelpButton);
    Write("    ONCLICK=\"top.showPage('help.htm#" + std::string(anchor) + "')\">" + kEmptyLine +
          strNewLine);
}

// One row of the control table holding control in small type.
void Farbale::WriteControlRow(std::string_view control) {
    Write(strRowBreak + strCellOpen + strFontOpen + strSpanSmall + std::string(control) +
          "</SPAN></FONT>" + strNewLine);
}

// A change of drive reloads the page at the drive's root.
void Farbale::WriteDriveSelect(std::string_view width, const std::string& driveList) {
    Write("   <SELECT NAME=\"selDrive\" SIZE=\"1\" STYLE=\"width:" + std::string(width) +
          "px;font-size:9pt\"" + strNewLine +
          "    ONCHANGE=\"doReload(true)\" TITLE=\"Select a drive to list files from\">" +
          strNewLine);
    Write(driveList);
    Write("   </SELECT></FONT>" + strNewLine);
}

// A change of folder reloads the page in that folder.
void Farbale::WriteFolderSelect(std::string_view width, const std::string& folderList) {
    Write("   <SELECT NAME=\"selFolder\" SIZE=\"10\" STYLE=\"width:" + std::string(width) +
          "px;font-size:9pt\"" + strNewLine + "    ONCHANGE=\"doReload(false)\"" +
          " TITLE=\"Select a folder or directory to list files from\">" + strNewLine);
    Write(folderList);
    Write("   </SELECT>" + strNewLine);
}

void Farbale::WritePageEnd() {
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    Write(strPageClose);
}

}  // namespace vantrel
