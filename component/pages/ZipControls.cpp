// The zip controls page: the zip options and the start button. Its script gathers the selections
// of the source and target frames, composes the option string and posts the call into the result
// frame.
#include "component/core/Farbale.h"
#include "component/pages/CheckBoxRow.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

constexpr const char* kZipScript[] = {
    "function checkUpdate(objThis, strControl) {",
    "  if (objThis.checked)",
    "    document.forms['frmButtons'].elements[strControl].checked = false;",
    "}",
    "function setInclude(objThis) {",
    "  if (objThis.checked)",
    "    document.forms['frmButtons'].elements['chkPaths'].checked = true;",
    "}",
    "function warnDelete(objThis) {",
    "  if (objThis.checked)",
    "    if (!confirm('WARNING: This will delete the original files on the disk\\n' +",
    "                 'once the zip operation has completed successfully.'))",
    "      objThis.checked = false;",
    "}",
};
// The opening of doStart(); this page reads its buttons through the form.
constexpr const char* kZipDoStartOpening[] = {
    "function doStart() {",
    "  var objSource = top.frames['source'].document.forms['frmSource'];",
    "  var objTarget = top.frames['target'].document.forms['frmTarget'];",
    "  var objButtons = document.forms['frmButtons'];",
    "  var objCall = document.forms['frmCall'];",
};
// The selected files with their full paths, joined by bars; without a selection, the pattern of
// the type list in the source folder.
constexpr const char* kSourceListScript[] = {
    "  var strSourceList = '';",
    "  var objFiles = objSource.elements['selFiles'];",
    "  for (var i = 0; i < objFiles.options.length; i++)",
    "    if (objFiles.options[i].selected)",
    "      strSourceList += strSourcePath + objFiles.options[i].value + '|';",
    "  if (strSourceList.length > 1)",
    "    strSourceList = strSourceList.substring(0, strSourceList.length - 1);",
    "  else",
    "    strSourceList = strSourcePath + selectedValue(objSource.elements['selType']);",
};
// The archive's name from the target frame, and the options.
constexpr const char* kZipCallScript[] = {
    "  var strZipName = objTarget.elements['txtZipName'].value;",
    "  if (strZipName == '') {",
    "    alert('You must specify a target zip file name');",
    "    return false;",
    "  }",
    "  strTargetPath += strZipName;",
    "  var strOptions = objButtons.elements['chkUpdate'].checked ? 'U' :",
    "                   (objButtons.elements['chkFreshen'].checked ? 'F' : '-');",
    "  strOptions += objButtons.elements['chkEncrypt'].checked ? 'P' : '-';",
    "  strOptions += selectedValue(objButtons.elements['selCompress']);",
    "  strOptions += objButtons.elements['chkPaths'].checked ? 'S' : '-';",
    "  strOptions += objButtons.elements['chkRecurse'].checked ? 'R' : '-';",
    "  strOptions += objButtons.elements['chkDelete'].checked ? 'M' : '-';",
    "  objCall.elements['SP'].value = strSourcePath;",
    "  objCall.elements['SL'].value = strSourceList;",
    "  objCall.elements['TP'].value = strTargetPath;",
    "  objCall.elements['PW'].value = objButtons.elements['txtPassword'].value;",
    "  objCall.elements['OS'].value = strOptions;",
    "  holdStart();",
    "  objCall.submit();",
    "  return true;",
    "}",
};

constexpr CheckBoxRow kPaths{"chkPaths",
                             "P",
                             "Include full paths for files stored in zip file",
                             "",
                             "Store File <U>P</U>aths",
                             false};
constexpr CheckBoxRow kRecurse{"chkRecurse",
                               "R",
                               "Include the contents of all subdirectories in the zip file",
                               "setInclude(this)",
                               "<U>R</U>ecurse Subdirectories",
                               true};
constexpr CheckBoxRow kUpdate{"chkUpdate",
                              "U",
                              "Add new files to the zip file but only update existing files in "
                              "the zip file that are older than existing files in the source "
                              "selection",
                              "checkUpdate(this, 'chkFreshen')",
                              "<U>U</U>pdate and Add Files",
                              false};
constexpr CheckBoxRow kFreshen{"chkFreshen",
                               "F",
                               "Only update existing files in the zip file, and only if they are "
                               "older than existing files in the source selection",
                               "checkUpdate(this, 'chkUpdate')",
                               "<U>F</U>reshen Existing Files",
                               true};
constexpr CheckBoxRow kEncrypt{"chkEncrypt",
                               "E",
                               "Encrypt the files added to the zip file using the password "
                               "entered below",
                               "enablePassword(this)",
                               "<U>E</U>ncrypt with Password",
                               false};
constexpr CheckBoxRow kDelete{"chkDelete",
                              "D",
                              "Delete the original files that are zipped after the operation has "
                              "successfully completed",
                              "warnDelete(this)",
                              "<U>D</U>elete Original Files",
                              false};

}  // namespace

void Farbale::WriteZipControls() {
    WritePageScript(strEnablePasswordScript +
                    ScriptText({kZipScript, kSelectedValueScript, kHoldStartScript,
                                kZipDoStartOpening, kSourcePathScript, kSourceListScript,
                                kKeepLastBlankScript, kTargetPathScript, kZipCallScript},
                               strNewLine));

    WriteCallFormOpen(strCallFormToResult, "call_zip");
    Write(strCallFieldsAndButtons);

    Write(
        "   <INPUT TYPE=\"BUTTON\" NAME=\"btnStart\" VALUE=\"Zip\" "
        "STYLE=\"width:60px;font-size:9pt\"" +
        strNewLine + "    ONCLICK=\"doStart()\"  ACCESSKEY=\"Z\"" + strNewLine +
        "    TITLE=\"Start the Zip or Unzip Process\">&nbsp;&nbsp;" + strNewLine);
    WriteHelpButton("zip");

    auto openRow = [&] {
        Write(strRowBreak + strCellOpen + strFontOpen + strSpanSmall + strNewLine);
    };
    auto closeRow = [&](bool spaceAfter) {
        Write(std::string("</SPAN></FONT>") + (spaceAfter ? kEmptyLine : "") + strNewLine);
    };
    // The empty line of a group's last box follows the row here, not the label.
    auto checkBox = [&](const CheckBoxRow& box) {
        openRow();
        Write(LabelledCheckBox(box, strCheckboxOpen, strNewLine));
        closeRow(box.spaceAfter);
    };

    checkBox(kPaths);
    checkBox(kRecurse);

    openRow();
    Write(std::string("<U>C</U>ompression Rate: ") +
          "<SELECT NAME=\"selCompress\" SIZE=\"1\" STYLE=\"font-size:9pt\" ACCESSKEY=\"C\"" +
          strNewLine +
          "    TITLE=\"Select the compression rate/speed tradeoff for the operation\">" +
          strNewLine);
    for (char level = '0'; level <= '9'; ++level) {
        Write(std::string("<OPTION VALUE=\"") + level + "\"" + (level == '5' ? " SELECTED" : "") +
              ">" + level + strNewLine);
    }
    Write("</SELECT>");
    closeRow(true);

    checkBox(kUpdate);
    checkBox(kFreshen);
    checkBox(kEncrypt);

    openRow();
    Write(strPasswordBox);
    Write("    TITLE=\"Password to be used to encrypt files added to the zip file\">");
    closeRow(true);

    checkBox(kDelete);
    Write("   " + strControlsClose);
    WritePageEnd();
}

}  // namespace vantrel
