// The zip contents page: the entries of one archive in a list box, extraction or deletion of the
// chosen entries, and a summary of the archive written into the result frame.
#include <string>

#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/pages/CheckBoxRow.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

constexpr const char* kContentsScript[] = {
    "function setButton(strValue, strKey) {",
    "  var objButton = document.forms['frmButtons'].elements['btnStart'];",
    "  objButton.value = strValue;",
    "  objButton.accessKey = strKey;",
    "}",
    "function deselectAll() {",
    "  var objFiles = document.forms['frmButtons'].elements['selFiles'];",
    "  for (var i = 0; i < objFiles.options.length; i++)",
    "    objFiles.options[i].selected = false;",
    "}",
    "function showDetails(objList) {",
    "  if (objList.selectedIndex < 0) return;",
    "  var strText = objList.options[objList.selectedIndex].title;",
    "  while (strText.indexOf('|') > 0)",
    "    strText = strText.replace('|', '\\n');",
    "  alert(strText);",
    "}",
    "function extractOn(objThis) {",
    "  var intCount = 0;",
    "  for (var i = 0; i < objThis.options.length; i++)",
    "    if (objThis.options[i].selected) intCount++;",
    "  var objButtons = document.forms['frmButtons'].elements;",
    "  if (objButtons['chkDelete'].checked) {",
    // A button still reading Delete would start an extraction of every entry.
    "    if (intCount == 0) {",
    "      objButtons['chkDelete'].checked = false;",
    "      setButton('Unzip', 'U');",
    "    }",
    "  } else {",
    "    objButtons['chkExtract'].checked = intCount > 0;",
    "    setExtract(objButtons['chkExtract']);",
    "  }",
    "}",
    "function setExtract(objThis) {",
    "  if (objThis.checked) {",
    "    document.forms['frmButtons'].elements['chkDelete'].checked = false;",
    "    setButton('Extract', '');",
    "  } else {",
    "    setButton('Unzip', 'U');",
    "    deselectAll();",
    "  }",
    "}",
    // The selected entry goes by a form of its own, so that a password never stands in an
    // address.
    "function downloadEntry() {",
    "  var objButtons = document.forms['frmButtons'].elements;",
    "  var objFiles = objButtons['selFiles'];",
    "  if (objFiles.selectedIndex < 0) {",
    "    alert('Select a file in the list above to download it');",
    "    return false;",
    "  }",
    "  var objDownload = document.forms['frmDownload'];",
    "  objDownload.elements['entry'].value = objFiles.options[objFiles.selectedIndex].value;",
    "  objDownload.elements['PW'].value =",
    "    objButtons['chkDecrypt'].checked ? objButtons['txtPassword'].value : '';",
    "  objDownload.submit();",
    "  return false;",
    "}",
    "function setDelete(objThis) {",
    "  if (objThis.checked) {",
    "    if (confirm('WARNING: This will permanently delete\\n' +",
    "                'all of the selected files from this zip file.')) {",
    "      document.forms['frmButtons'].elements['chkExtract'].checked = false;",
    "      setButton('Delete', '');",
    "    } else",
    "      objThis.checked = false;",
    "  } else {",
    "    setButton('Unzip', 'U');",
    "    deselectAll();",
    "  }",
    "}",
};
// The archive whose entries the page lists.
constexpr const char* kSourceArchiveScript[] = {
    "  var strSourceList = selectedValue(objSource.elements['selFiles']);",
};
// The options, and the chosen entries with blanks in their names quoted.
constexpr const char* kContentsCallScript[] = {
    "  var strOptions = '-';",
    "  if (objButtons['chkDelete'].checked) strOptions = 'D';",
    "  else if (objButtons['chkExtract'].checked) strOptions = 'E';",
    "  strOptions += objButtons['chkDecrypt'].checked ? 'P' : '-';",
    "  strOptions += objButtons['chkRestore'].checked ? 'R' : '-';",
    "  var strNames = '';",
    "  var objFiles = objButtons['selFiles'];",
    "  for (var i = 0; i < objFiles.options.length; i++) {",
    "    if (!objFiles.options[i].selected) continue;",
    "    var strName = objFiles.options[i].value;",
    "    if (strName.indexOf(' ') >= 0) strName = '\"' + strName + '\"';",
    "    strNames += strName + ' ';",
    "  }",
    "  objCall.elements['SP'].value = strSourcePath;",
    "  objCall.elements['SL'].value = strSourceList;",
    "  objCall.elements['TP'].value = strTargetPath;",
    "  objCall.elements['ZL'].value = strNames;",
    "  objCall.elements['PW'].value = objButtons['txtPassword'].value;",
    "  objCall.elements['OS'].value = strOptions;",
    "  holdStart();",
    "  objCall.submit();",
    "  return true;",
    "}",
};

constexpr CheckBoxRow kExtract{"chkExtract",
                               "E",
                               "Extract only the files selected in the list above from the zip "
                               "file",
                               "setExtract(this)",
                               "<U>E</U>xtract Selected Files",
                               false};
constexpr CheckBoxRow kDelete{"chkDelete",
                              "D",
                              "Permanently delete the files selected in the list above from the "
                              "zip file",
                              "setDelete(this)",
                              "<U>D</U>elete Selected Files",
                              false};

}  // namespace

void Farbale::WriteZipContents() {
    WritePageScript(strEnablePasswordScript +
                    ScriptText({kContentsScript, kSelectedValueScript, kHoldStartScript,
                                kDoStartOpening, kSourcePathScript, kSourceArchiveScript,
                                kKeepBlanksScript, kTargetPathScript, kContentsCallScript},
                               strNewLine));

    WriteCallFormOpen(strCallFormToResult, "call_unziplist");
    Write("<INPUT TYPE=\"HIDDEN\" NAME=\"ZL\">" + strNewLine);
    Write(strCallFieldsAndButtons);
    Write(strStartButton);
    WriteHelpButton("view");

    WriteUnzipOptionRows(false);
    Write(strSpanSmall +
          "<SELECT NAME=\"selFiles\" SIZE=\"12\" MULTIPLE "
          "STYLE=\"width:195px;font-size:9pt\"" +
          strNewLine + "    ONCHANGE=\"extractOn(this)\" ONDBLCLICK=\"showDetails(this)\"" +
          strNewLine +
          "    TITLE=\"Files in the selected Zip File. Double-click on a file for more "
          "information.\">" +
          strNewLine);
    // The listing writes the entries into the page as it reads them and leaves the last few, or
    // its failure text, in strWork5; a failure part-way follows the entries already written.
    if (!ListZipFile(strZipFileName, strWork5, strWork6)) {
        Write("<OPTION>Cannot read zip<OPTION>file contents:<OPTION>");
    }
    Write(strWork5);
    Write(strNewLine);
    Write("   </SELECT></SPAN></FONT>" + strNewLine);
    for (const CheckBoxRow* box : {&kExtract, &kDelete}) {
        WriteControlRow(CheckBoxMarkup(*box, strCheckboxOpen, strNewLine));
    }
    // Downloads answer into the result frame, where a refusal is read as an operation's is.
    const std::string archive = HtmlEscape(strZipFileName);
    WriteControlRow("<A HREF=\"" + HtmlEscape("download?path=" + QueryEscape(strZipFileName)) +
                    "\" TARGET=\"result\" TITLE=\"Download the zip file\">Download</A> zip file "
                    "&nbsp; <A HREF=\"download\" ONCLICK=\"return downloadEntry()\"" +
                    strNewLine +
                    "    TITLE=\"Download the file selected in the list above\">Download</A> "
                    "selected file");
    Write("   " + strControlsClose);
    Write("<FORM NAME=\"frmDownload\" ACTION=\"download\" METHOD=\"POST\" TARGET=\"result\">" +
          strNewLine + "<INPUT TYPE=\"HIDDEN\" NAME=\"path\" VALUE=\"" + archive + "\">" +
          strNewLine + "<INPUT TYPE=\"HIDDEN\" NAME=\"entry\">" + strNewLine +
          "<INPUT TYPE=\"HIDDEN\" NAME=\"PW\">" + strNewLine + "</FORM>" + strNewLine);

    // The summary goes into the result frame as markup inside script strings.
    Write(strScriptOpen);
    Write("objOutDoc = top.frames['result'].document;" + strNewLine + "objOutDoc.clear();" +
          strNewLine + "objOutDoc.open();" + strNewLine);
    Write("objOutDoc.write('<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" +
          JsStringEscape(strFontOpen) + "');" + strNewLine);
    Write("objOutDoc.write('<B>Zip File Details</B><BR>" + JsStringEscape(strSpanSmall) +
          "File Name: " + JsStringEscape(HtmlEscape(strZipFileName)) + "<BR>');" + strNewLine);
    Write("objOutDoc.write('" + JsStringEscape(strWork6) + "');" + strNewLine);
    Write("objOutDoc.write('</SPAN></FONT></BODY></HTML>');" + strNewLine + "objOutDoc.close();" +
          strNewLine + "//-->" + strNewLine + "</SCRIPT>" + strNewLine);
    WritePageEnd();
}

}  // namespace vantrel
