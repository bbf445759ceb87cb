// The unzip controls page: extraction with its options, a test and a repair of the selected zip
// file, and the way into its contents. Its script gathers the source and target selections,
// composes the option string and posts the call into the result frame.
#include <string>

#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/pages/CheckBoxRow.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

// The operation boxes exclude one another; the start button names what the first of them selects.
constexpr const char* kUnzipScript[] = {
    "function setButton(strValue, strKey) {",
    "  var objButton = document.forms['frmButtons'].elements['btnStart'];",
    "  objButton.value = strValue;",
    "  objButton.accessKey = strKey;",
    "}",
    "function uncheck(strControl) {",
    "  document.forms['frmButtons'].elements[strControl].checked = false;",
    "}",
    "function setUpdate(objThis) {",
    "  if (objThis.checked) {",
    "    uncheck('chkFreshen'); uncheck('chkTest'); uncheck('chkFix');",
    "    setButton('Unzip', 'U');",
    "  }",
    "}",
    "function setFreshen(objThis) {",
    "  if (objThis.checked) {",
    "    uncheck('chkUpdate'); uncheck('chkTest'); uncheck('chkFix');",
    "    setButton('Unzip', 'U');",
    "  }",
    "}",
    "function setFix(objThis) {",
    "  if (objThis.checked) {",
    "    uncheck('chkTest'); uncheck('chkUpdate'); uncheck('chkFreshen');",
    "    setButton('Fix', '');",
    "  } else",
    "    setButton('Unzip', 'U');",
    "}",
    "function setTest(objThis) {",
    "  if (objThis.checked) {",
    "    uncheck('chkFix'); uncheck('chkUpdate'); uncheck('chkFreshen');",
    "    setButton('Test', '');",
    "  } else",
    "    setButton('Unzip', 'U');",
    "}",
};
// getZipFileName(): the selected archive's path, for the contents view.
constexpr const char* kZipFileNameScript[] = {
    "function getZipFileName() {",
    "  var objSource = top.frames['source'].document.forms['frmSource'];",
    "  var strPath = selectedValue(objSource.elements['selDrive']);",
    "  if (objSource.elements['selFolder'].selectedIndex < 0) {",
    "    alert('You must select a source files folder');",
    "    return null;",
    "  }",
    "  strPath += selectedValue(objSource.elements['selFolder']) + '\\\\';",
    "  if (objSource.elements['selFiles'].selectedIndex < 0) {",
    "    alert('You must select a source zip file');",
    "    return null;",
    "  }",
    "  return strPath + selectedValue(objSource.elements['selFiles']);",
    "}",
};
// The selected archives, joined by bars; without a selection, the pattern of the type list.
constexpr const char* kSourceListScript[] = {
    "  var strSourceList = '';",
    "  var objFiles = objSource.elements['selFiles'];",
    "  for (var i = 0; i < objFiles.options.length; i++)",
    "    if (objFiles.options[i].selected)",
    "      strSourceList += objFiles.options[i].value + '|';",
    "  if (strSourceList.length > 1)",
    "    strSourceList = strSourceList.substring(0, strSourceList.length - 1);",
    "  else",
    "    strSourceList = selectedValue(objSource.elements['selType']);",
};
constexpr const char* kUnzipCallScript[] = {
    "  var strOptions = '-';",
    "  if (objButtons['chkUpdate'].checked) strOptions = 'U';",
    "  else if (objButtons['chkFreshen'].checked) strOptions = 'F';",
    "  else if (objButtons['chkFix'].checked) strOptions = 'X';",
    "  else if (objButtons['chkTest'].checked) strOptions = 'T';",
    "  strOptions += objButtons['chkDecrypt'].checked ? 'P' : '-';",
    "  strOptions += objButtons['chkRestore'].checked ? 'R' : '-';",
    "  objCall.elements['SP'].value = strSourcePath;",
    "  objCall.elements['SL'].value = strSourceList;",
    "  objCall.elements['TP'].value = strTargetPath;",
    "  objCall.elements['PW'].value = objButtons['txtPassword'].value;",
    "  objCall.elements['OS'].value = strOptions;",
    "  holdStart();",
    "  objCall.submit();",
    "  return true;",
    "}",
};

constexpr CheckBoxRow kRestore{"chkRestore",
                               "R",
                               "Include Do not re-create any subfolders that may be stored in "
                               "the zip file",
                               "",
                               "Don't <U>R</U>estore Folders",
                               false};
constexpr CheckBoxRow kUpdate{"chkUpdate",
                              "U",
                              "Extract all files that do not already exist in the target folder, "
                              "but only replace existing files if the ones in the zip file are "
                              "more recent",
                              "setUpdate(this)",
                              "<U>U</U>pdate and Add Files",
                              false};
constexpr CheckBoxRow kFreshen{"chkFreshen",
                               "F",
                               "Extract from the zip file only files that already exist in the "
                               "target folder, and only if they are more recent than the existing "
                               "files",
                               "setFreshen(this)",
                               "<U>F</U>reshen Existing Files",
                               true};
constexpr CheckBoxRow kDecrypt{"chkDecrypt",
                               "P",
                               "Apply the password entered below when unzipping the files in the "
                               "zip file",
                               "enablePassword(this)",
                               "Apply this <U>P</U>assword",
                               false};
constexpr CheckBoxRow kTest{"chkTest",
                            "T",
                            "Test the selected zip file for internal errors",
                            "setTest(this)",
                            "<U>T</U>est Zip File Structure",
                            false};
constexpr CheckBoxRow kFix{"chkFix",
                           "F",
                           "Try and repair the selected zip file if it is damaged",
                           "setFix(this)",
                           "Attempt to <U>F</U>ix Zip File",
                           false};

// The contents view's address is built with the zip path URL-encoded, so that names holding
// "&", "#", "+" or blanks open the archive they name.
std::string ContentsClickHandler(const std::string& scriptName) {
    return "var strZip = getZipFileName(); if (strZip != null) window.location.href = '" +
           HtmlEscape(JsStringEscape(scriptName)) +
           "?OP=unziplist&amp;ZN=' + encodeURIComponent(strZip);";
}

}  // namespace

void Farbale::WriteUnzipOptionRows(bool blnWithUpdate) {
    auto checkBox = [&](const CheckBoxRow& box) {
        WriteControlRow(CheckBoxMarkup(box, strCheckboxOpen, strNewLine));
    };

    checkBox(kRestore);
    if (blnWithUpdate) {
        checkBox(kUpdate);
        checkBox(kFreshen);
    }
    checkBox(kDecrypt);
    WriteControlRow(strPasswordBox +
                    "    TITLE=\"Password to be used to decrypt files in the zip file\">" +
                    kEmptyLine);
    // The caller writes its next control into this open cell.
    Write(strRowBreak + strCellOpen + strFontOpen);
}

void Farbale::WriteUnzipControls() {
    WritePageScript(
        strEnablePasswordScript +
        ScriptText({kUnzipScript, kSelectedValueScript, kHoldStartScript, kZipFileNameScript,
                    kDoStartOpening, kSourcePathScript, kSourceListScript, kKeepBlanksScript,
                    kTargetPathScript, kUnzipCallScript},
                   strNewLine));

    WriteCallFormOpen(strCallFormToResult, "call_unzip");
    Write(strCallFieldsAndButtons);
    Write(strStartButton);
    WriteHelpButton("unzip");

    WriteUnzipOptionRows(true);

    const CheckBoxRow list{"chkList",
                           "C",
                           "Display a list of the files in the selected zip file",
                           "",
                           "Show Zip File <U>C</U>ontents",
                           true};
    Write(CheckBoxMarkup(list, strCheckboxOpen, strNewLine,
                         ContentsClickHandler(ServerVariable("SCRIPT_NAME"))) +
          "</FONT>" + strNewLine);
    for (const CheckBoxRow* box : {&kTest, &kFix}) {
        WriteControlRow(CheckBoxMarkup(*box, strCheckboxOpen, strNewLine));
    }

    Write("   " + strControlsClose);
    WritePageEnd();
}

}  // namespace vantrel
