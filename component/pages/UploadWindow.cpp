// The upload window, opened by the target frame's "Upload…" button: files chosen on the user's
// computer are sent to the host's upload address into the folder selected in the target frame,
// with a progress bar of the sending; the answer, a result page, goes into the result frame,
// whose script reloads the source and target frames.
#include "component/core/Farbale.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

constexpr const char* kUploadScript[] = {
    "var objRequest = null;",
    // The window works for the target frame that opened it; without one it has no folder.
    "function folderPath() {",
    "  if (!opener || opener.closed || !opener.document.forms['frmTarget']) return '';",
    "  var objTarget = opener.document.forms['frmTarget'].elements;",
    "  if (objTarget['selFolder'].selectedIndex < 0) return '';",
    "  return selectedValue(objTarget['selDrive']) + selectedValue(objTarget['selFolder']) + "
    "'\\\\';",
    "}",
    "window.addEventListener('load', function () {",
    "  document.getElementById('spnFolder').textContent = folderPath();",
    "});",
    "function showState(strText) {",
    "  document.getElementById('spnState').textContent = strText;",
    "}",
    "function showProgress(objEvent) {",
    "  if (!objEvent.lengthComputable) return;",
    "  var objBar = document.getElementById('prgUpload');",
    "  objBar.max = objEvent.total;",
    "  objBar.value = objEvent.loaded;",
    "  showState(Math.floor(objEvent.loaded * 100 / objEvent.total) + '% sent');",
    "}",
    "function showFailure(strText) {",
    "  objRequest = null;",
    "  document.forms['frmUpload'].elements['btnUpload'].disabled = false;",
    "  showState(strText);",
    "}",
    "function showResult() {",
    "  if (objRequest.status != 200) {",
    "    showFailure(objRequest.responseText || 'The server refused the upload.');",
    "    return;",
    "  }",
    "  var objOutDoc = opener && !opener.closed ? opener.top.frames['result'].document : document;",
    "  objOutDoc.open();",
    "  objOutDoc.write(objRequest.responseText);",
    "  objOutDoc.close();",
    "  if (objOutDoc != document) window.close();",
    "}",
    "function doUpload() {",
    "  var objForm = document.forms['frmUpload'].elements;",
    "  var strFolder = folderPath();",
    "  if (strFolder == '') {",
    "    alert('You must select a target files folder');",
    "    return false;",
    "  }",
    "  var objFiles = objForm['filFiles'].files;",
    "  if (objFiles.length == 0) {",
    "    alert('Choose the files to upload');",
    "    return false;",
    "  }",
    // The folder and the switches go first: the server reads them before the files.
    "  var objData = new FormData();",
    "  objData.append('folder', strFolder);",
    "  if (objForm['chkReplace'].checked) objData.append('replace', '1');",
    "  if (objForm['chkExtract'].checked) objData.append('extract', '1');",
    "  for (var i = 0; i < objFiles.length; i++) objData.append('file', objFiles[i]);",
    "  objRequest = new XMLHttpRequest();",
    "  objRequest.open('POST', 'upload');",
    "  objRequest.upload.addEventListener('progress', showProgress);",
    "  objRequest.upload.addEventListener('load', function () {",
    "    showState('Sent; the server is storing the files ...');",
    "  });",
    "  objRequest.addEventListener('load', showResult);",
    "  objRequest.addEventListener('error', function () {",
    "    showFailure('The connection to the server was lost: nothing was uploaded.');",
    "  });",
    "  objForm['btnUpload'].disabled = true;",
    "  showState('Sending ...');",
    "  objRequest.send(objData);",
    "  return true;",
    "}",
    // An upload stopped before its end leaves nothing on the server.
    "function doCancel() {",
    "  if (objRequest) objRequest.abort();",
    "  window.close();",
    "}",
};

}  // namespace

void Farbale::WriteUploadWindow() {
    WritePageScript(ScriptText({kSelectedValueScript, kUploadScript}, strNewLine));
    Write(strBodyOpen);
    for (const char* line : {
             "<FORM NAME=\"frmUpload\">",
             "<TABLE BORDER=\"1\" CELLPADDING=\"7\"><TR><TD NOWRAP>",
             "<SPAN STYLE=\"font-size:9pt\">",
             "<B>Upload files into</B> <SPAN ID=\"spnFolder\"></SPAN><BR>&nbsp;<BR>",
             "<INPUT TYPE=\"FILE\" NAME=\"filFiles\" MULTIPLE STYLE=\"font-size:9pt\"",
             "    TITLE=\"Choose the files to upload\"><BR>&nbsp;<BR>",
             "<INPUT TYPE=\"CHECKBOX\" NAME=\"chkExtract\" ACCESSKEY=\"E\"",
             "    TITLE=\"Extract every zip file uploaded into the same folder\"><U>E</U>xtract "
             "uploaded zip files<BR>",
             "<INPUT TYPE=\"CHECKBOX\" NAME=\"chkReplace\" ACCESSKEY=\"R\"",
             "    TITLE=\"Put the uploaded files in the place of files of the same name\"><U>R</U>"
             "eplace existing files<BR>&nbsp;<BR>",
             "<PROGRESS ID=\"prgUpload\" MAX=\"100\" VALUE=\"0\" STYLE=\"width:300px\"></PROGRESS>"
             "<BR>",
             "<SPAN ID=\"spnState\">&nbsp;</SPAN><BR>&nbsp;<BR>",
             "<INPUT TYPE=\"BUTTON\" NAME=\"btnUpload\" VALUE=\"Upload\" ACCESSKEY=\"U\" "
             "STYLE=\"width:60px;font-size:9pt\"",
             "    ONCLICK=\"doUpload()\" TITLE=\"Send the chosen files to the server\">",
             "<INPUT TYPE=\"BUTTON\" NAME=\"btnCancel\" VALUE=\"Cancel\" "
             "STYLE=\"width:60px;font-size:9pt\"",
             "    ONCLICK=\"doCancel()\" TITLE=\"Stop the upload and close this window\">",
             "</SPAN></TD></TR></TABLE></FORM>",
         }) {
        Write(line + strNewLine);
    }
    WritePageEnd();
}

}  // namespace vantrel
