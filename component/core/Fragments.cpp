// The markup fragments that several pages share, built afresh for every request.
#include "component/core/Farbale.h"

namespace vantrel {

namespace {

// Joins lines, each followed by a line break.
std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (auto line : lines) {
        text.append(line).append("\r\n");
    }
    return text;
}

}  // namespace

void Farbale::BuildFragments() {
    strEnablePasswordScript = Lines({
        "function enablePassword(objThis) {",
        "  var theText = document.forms['frmButtons'].elements['txtPassword'];",
        "  if (objThis.checked)",
        "    theText.disabled = false",
        "  else {",
        "    theText.value = '';",
        "    theText.disabled = true;",
        "  }",
        "}",
    });
    strPageHead = Lines({
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">",
        "<HTML><HEAD>",
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">",
        "<TITLE>Quillfen Farbale</TITLE>",
        "<META NAME=\"Updated\" CONTENT=\"1999-12-08\">",
    });
    strMetaTags = Lines({
        "<META NAME=\"keywords\" CONTENT=\"Quillfen.Farbale, Active Server Pages, ASP, Active "
        "Server Components, DLL, Farbale, Farbale, quillfen, Quillfen Farbale\">",
        "<META NAME=\"description\" CONTENT=\"The Quillfen Farbale server-based Zipfile manager\">",
    });
    strFontOpen = "<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">";
    strBodyOpen = Lines({
        "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"7\" LEFTMARGIN=\"7\">",
        strFontOpen,
    });
    strPageClose = Lines({"</FONT>", "</BODY>", "</HTML>"});
    strCallForm = "<FORM NAME=\"frmCall\" ACTION=\"" + ServerVariable("SCRIPT_NAME") +
                  "\" METHOD=\"POST\">" + strNewLine;
    strCallFormToResult = "<FORM NAME=\"frmCall\" ACTION=\"" + ServerVariable("SCRIPT_NAME") +
                          "\" TARGET=\"result\" METHOD=\"POST\">" + strNewLine;
    strHiddenOpOpen = "<INPUT TYPE=\"HIDDEN\" NAME=\"OP\" VALUE=\"";
    strControlsClose = Lines({
        "</FONT>",
        "  </TD>",
        " </TR>",
        "</TABLE>",
        "</TD></TR></TABLE>",
        "</FORM>",
    });
    strScriptOpen = Lines({"<SCRIPT LANGUAGE=\"JAVASCRIPT\">", "<!--"});
    strCellOpen = Lines({"  <TD VALIGN=\"TOP\" ALIGN=\"LEFT\" NOWRAP>"});
    strRowBreak = Lines({"  </TD>", " </TR>", " <TR>"});
    strHelpButton = Lines({
        "   <INPUT TYPE=\"BUTTON\" VALUE=\" Help \" STYLE=\"width:60px;font-size:9pt\"",
        "          TITLE=\"Display the Help Page\"",
        " ACCESSKEY=\"H\"",
    });
    strCheckboxOpen = "   <INPUT TYPE=\"CHECKBOX\" NAME=\"";
    strCallFieldsAndButtons = Lines({
        "<INPUT TYPE=\"HIDDEN\" NAME=\"SP\">",
        "<INPUT TYPE=\"HIDDEN\" NAME=\"SL\">",
        "<INPUT TYPE=\"HIDDEN\" NAME=\"TP\">",
        "<INPUT TYPE=\"HIDDEN\" NAME=\"PW\">",
        "<INPUT TYPE=\"HIDDEN\" NAME=\"OS\">",
        "</FORM>",
        strFontOpen,
        "<FORM NAME=\"frmButtons\">",
        "<TABLE BORDER=\"1\" CELLPADDING=\"7\"><TR><TD>",
        "<TABLE CELLSPACING=\"0\">",
        " <TR VALIGN=\"TOP\" ALIGN=\"LEFT\" NOWRAP>",
    });
    strCallFieldsAndButtons += strCellOpen + "    " + strFontOpen + strNewLine;
    // Masked: a password shown in clear on a screen is handled unsafely.
    strPasswordBox =
        Lines({"   <INPUT TYPE=\"PASSWORD\" NAME=\"txtPassword\" SIZE=\"20\" DISABLED"});
    strStartButton = Lines({
        "   <INPUT TYPE=\"BUTTON\" NAME=\"btnStart\" VALUE=\"Unzip\" "
        "STYLE=\"width:60px;font-size:9pt\"",
        "    ONCLICK=\"doStart()\"  ACCESSKEY=\"U\"",
        "    TITLE=\"Start the Zip or Unzip Process\">&nbsp; &nbsp;",
    });
    strSpanSmall = "<SPAN STYLE=\"font-size:9pt\">";
}

}  // namespace vantrel
