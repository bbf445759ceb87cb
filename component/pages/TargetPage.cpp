// The target frame: the folder and the zip file name to write. The zip name and the state of its
// box make the round trip through the reload, so the source frame's choice survives it.
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

constexpr const char* kDefaultZipName = "untitled.zip";
// The only state of the name box that the page carries; anything else counts as enabled.
constexpr const char* kZipNameDisabled = "DISABLED=YES";

constexpr const char* kTargetScript[] = {
    "function doReload(intRoot) {",
    "  var objForm = document.forms['frmTarget'];",
    "  var objCall = document.forms['frmCall'];",
    "  var strPath = selectedValue(objForm.elements['selDrive']);",
    "  if (!intRoot)",
    "    strPath += selectedValue(objForm.elements['selFolder']);",
    "  strPath += '\\\\*.*';",
    "  var objName = objForm.elements['txtZipName'];",
    "  objCall.elements['TP'].value = strPath;",
    "  objCall.elements['ZN'].value = objName.value;",
    "  objCall.elements['ZD'].value = objName.disabled ? 'DISABLED=YES' : '';",
    "  objCall.submit();",
    "}",
    // The upload window reads the folder chosen here when it sends the files.
    "function openUpload() {",
    "  if (document.forms['frmTarget'].elements['selFolder'].selectedIndex < 0) {",
    "    alert('You must select a target files folder');",
    "    return;",
    "  }",
    "  window.open(document.forms['frmCall'].action + '?OP=upload', 'upload',",
    "              'width=460,height=320,resizable=yes,scrollbars=yes');",
    "}",
};

}  // namespace

int16_t Farbale::FillTargetLists(const std::string& targetPath, std::string& driveList,
                                 std::string& folderList) {
    try {
        std::string drive, folder, file;
        SplitPath(targetPath, drive, folder, file);
        if (drive.empty() || folder.empty()) {
            return -1;
        }
        driveList = BuildDriveList(drive);
        std::string unusedFileList;
        int32_t count = BuildFolderFileLists(drive, "", drive + folder, folderList, unusedFileList);
        return static_cast<int16_t>(count < 0 ? -1 : count);
    } catch (const std::exception&) {
        return -1;
    }
}

void Farbale::WriteTargetPage() {
    if (strZipFileName.empty()) {
        strZipFileName = kDefaultZipName;
    }
    if (strTargetPath.find(":\\") != 1) {
        strTargetPath = Context().server.MapPath("/") + "\\*.*";
    }
    std::string driveList, folderList;
    if (FillTargetLists(strTargetPath, driveList, folderList) < 0) {
        Write("<HTML><BODY><B>ERROR: Cannot create Target lists.</B>");
        WritePageEnd();
        return;
    }
    WritePageScript(ScriptText({kSelectedValueScript, kTargetScript}, strNewLine));

    WriteCallFormOpen(strCallForm, "target");
    for (const char* line :
         {"<INPUT TYPE=\"HIDDEN\" NAME=\"TP\">", "<INPUT TYPE=\"HIDDEN\" NAME=\"ZN\">",
          "<INPUT TYPE=\"HIDDEN\" NAME=\"ZD\">", "</FORM>"}) {
        Write(line + strNewLine);
    }
    Write(strFontOpen + strNewLine + "<FORM NAME=\"frmTarget\">" + strNewLine +
          "<TABLE BORDER=\"1\"><TR><TD>" + strNewLine);
    Write(strFontOpen + strSpanSmall +
          "&nbsp;&nbsp;&nbsp;Select Target Path/File</SPAN><BR></FONT>" + strNewLine);
    Write("<TABLE CELLSPACING=\"7\">" + strNewLine + " <TR VALIGN=\"TOP\" ALIGN=\"LEFT\">" +
          strNewLine + "  <TD>" + strNewLine + "   " + strFontOpen + strNewLine);

    const std::string disabled = strZipDisabled == kZipNameDisabled ? kZipNameDisabled : "";
    Write(
        "   <INPUT TYPE=\"TEXT\" NAME=\"txtZipName\" SIZE=\"20\" "
        "STYLE=\"width:150px;font-size:9pt\"" +
        strNewLine + "         " + disabled + " VALUE=" + strQuote + HtmlEscape(strZipFileName) +
        strQuote + "></FONT>" + strNewLine);

    Write(strRowBreak + strCellOpen + strFontOpen + strNewLine);
    WriteDriveSelect("150", driveList);

    Write(strRowBreak + strCellOpen + strFontOpen + strNewLine);
    WriteFolderSelect("150", folderList);
    Write("</FONT>" + strRowBreak + strCellOpen + strFontOpen + strNewLine +
          "   <INPUT TYPE=\"BUTTON\" NAME=\"btnUpload\" VALUE=\"Upload&#8230;\" "
          "STYLE=\"width:150px;font-size:9pt\"" +
          strNewLine +
          "    ONCLICK=\"openUpload()\" TITLE=\"Upload files from your computer into the selected "
          "folder\">" +
          strNewLine);
    Write(strControlsClose);
    WritePageEnd();
}

}  // namespace vantrel
