// The source frame: drives, folders and files to work on. The page reloads itself through the
// server whenever the drive, folder or type changes, and switches the controls frame between the
// zip and unzip controls as the file selection changes.
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/pages/PageScript.h"

namespace vantrel {

namespace {

// The first occurrence of ":\" must follow the drive letter: "c:\...".
bool IsDrivePath(const std::string& path) {
    return path.find(":\\") == 1;
}

// The page's script after selectedValue(); PAGE stands for the page's own path, escaped for a
// script string.
constexpr const char* kSourceScript[] = {
    "function setZipNameEnabled(blnEnabled) {",
    "  top.frames['target'].document.forms['frmTarget'].elements['txtZipName'].disabled = "
    "!blnEnabled;",
    "}",
    "function doReload(intRoot) {",
    "  var objControls = top.frames['controls'];",
    "  if (objControls.location.href.indexOf('?OP=zip') < 0) {",
    "    objControls.location.href = 'PAGE?OP=zip';",
    "    setZipNameEnabled(true);",
    "  }",
    "  var objForm = document.forms['frmSource'];",
    "  var strPath = selectedValue(objForm.elements['selDrive']);",
    "  if (!intRoot)",
    "    strPath += selectedValue(objForm.elements['selFolder']);",
    "  strPath += '\\\\' + selectedValue(objForm.elements['selType']);",
    "  document.forms['frmCall'].elements['SP'].value = strPath;",
    "  document.forms['frmCall'].submit();",
    "}",
    "function showFile(objList) {",
    "  if (objList.selectedIndex < 0) return;",
    "  alert(objList.options[objList.selectedIndex].title.split('|').join('\\n'));",
    "}",
    "function doType(objList) {",
    "  var intCount = 0, intLast = -1;",
    "  for (var i = 0; i < objList.options.length; i++)",
    "    if (objList.options[i].selected) { intCount++; intLast = i; }",
    "  var blnZip = false;",
    "  if (intCount == 1) {",
    "    var strName = objList.options[intLast].value;",
    "    window.status = strName;",
    "    var intDot = strName.lastIndexOf('.');",
    "    var strExt = (intDot < 0) ? strName : strName.substring(intDot + 1);",
    "    blnZip = (strExt.toLowerCase() == 'zip');",
    "  }",
    "  var strWanted = blnZip ? 'PAGE?OP=unzip' : 'PAGE?OP=zip';",
    "  setZipNameEnabled(!blnZip);",
    "  var objControls = top.frames['controls'];",
    "  var strNow = objControls.location.href;",
    "  if (strNow.indexOf('?OP=unziplist') >= 0 || strNow.indexOf(strWanted) < 0)",
    "    objControls.location.href = strWanted;",
    "}",
};

std::string ReplacePage(std::string line, const std::string& page) {
    for (size_t at = line.find("PAGE"); at != std::string::npos; at = line.find("PAGE", at)) {
        line.replace(at, 4, page);
        at += page.size();
    }
    return line;
}

}  // namespace

int16_t Farbale::FillSourceLists(const std::string& sourcePath, std::string& typeList,
                                 std::string& driveList, std::string& folderList,
                                 std::string& fileList) {
    try {
        std::string drive, folder, file;
        SplitPath(sourcePath, drive, folder, file);
        if (drive.empty() || folder.empty() || file.empty()) {
            return -1;
        }
        typeList = BuildFileTypeList(file);
        driveList = BuildDriveList(drive);
        int32_t count = BuildFolderFileLists(drive, file, drive + folder, folderList, fileList);
        return static_cast<int16_t>(count < 0 ? -1 : count);
    } catch (const std::exception&) {
        return -1;
    }
}

void Farbale::WriteSourcePage() {
    if (!IsDrivePath(strSourcePath)) {
        strSourcePath = Context().server.MapPath("/") + "\\*.*";
    }
    std::string typeList, driveList, folderList, fileList;
    if (FillSourceLists(strSourcePath, typeList, driveList, folderList, fileList) < 0) {
        Write("<HTML><BODY><B>ERROR: Cannot create Source file lists.</B>");
        WritePageEnd();
        return;
    }
    const std::string page = JsStringEscape(ServerVariable("SCRIPT_NAME"));
    std::string script = ScriptText({kSelectedValueScript}, strNewLine);
    for (const char* line : kSourceScript) {
        script += ReplacePage(line, page) + strNewLine;
    }
    WritePageScript(script);

    WriteCallFormOpen(strCallForm, "source");
    Write("<INPUT TYPE=\"HIDDEN\" NAME=\"SP\">" + strNewLine + "</FORM>" + strNewLine);
    Write("<FORM NAME=\"frmSource\">" + strNewLine + "<TABLE BORDER=\"1\"><TR><TD>" + strNewLine);
    Write(strFontOpen + strSpanSmall + "&nbsp;&nbsp;&nbsp;Select Source File(s) on '" +
          HtmlEscape(ServerVariable("SERVER_NAME")) + "'</SPAN><BR></FONT>" + strNewLine);
    Write("<TABLE CELLSPACING=\"7\">" + strNewLine + " <TR VALIGN=\"TOP\" ALIGN=\"LEFT\">" +
          strNewLine + "  <TD COLSPAN=\"2\">" + strNewLine);

    Write("   " + strFontOpen + strNewLine);
    Write("   <SELECT NAME=\"selType\" SIZE=\"1\" STYLE=\"width:283px;font-size:9pt\"" +
          strNewLine + "    ONCHANGE=\"doReload(false)\">" + strNewLine);
    Write(typeList);
    Write("   </SELECT></FONT>" + strNewLine + "  </TD>" + strNewLine + " </TR>" + strNewLine +
          " <TR>" + strNewLine);

    Write(strCellOpen + strFontOpen + strNewLine);
    WriteDriveSelect("125", driveList);
    Write("  </TD>" + strNewLine);

    Write("  <TD VALIGN=\"TOP\" ALIGN=\"LEFT\" ROWSPAN=\"2\">" + strFontOpen + strNewLine);
    Write("   <SELECT NAME=\"selFiles\" SIZE=\"12\" STYLE=\"width:150px;font-size:9pt\" MULTIPLE" +
          strNewLine + "    ONCHANGE=\"doType(this)\" ONDBLCLICK=\"showFile(this)\"" + strNewLine +
          "    TITLE=\"Select one or more files by clicking with the SHIFT and CTRL keys held "
          "down. Double-click for the full path and filename details.\">" +
          strNewLine);
    Write(fileList);
    Write("    </SELECT></FONT>" + strNewLine);
    // The listing leaves its note on files it could not show in the working string.
    if (!strWork6.empty()) {
        Write("    <BR>" + strFontOpen + strSpanSmall + HtmlEscape(strWork6) + "</SPAN></FONT>" +
              strNewLine);
    }
    Write("  </TD>" + strNewLine + " </TR>" + strNewLine + " <TR>" + strNewLine);

    Write(strCellOpen + strFontOpen + strNewLine);
    WriteFolderSelect("125", folderList);
    Write(strControlsClose);
    WritePageEnd();
}

}  // namespace vantrel
