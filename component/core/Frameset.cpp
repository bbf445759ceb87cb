// The entry page: four frames (source, target, result, controls) addressing this same page.
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteFrameset() {
    const std::string page = ServerVariable("SCRIPT_NAME");
    Write(strPageHead);
    Write(strMetaTags);
    for (const char* line : {
             "<SCRIPT LANGUAGE=\"JAVASCRIPT\">",
             "<!--",
             "function showPage(strPage) {",
             "  window.open(strPage,'new_win', "
             "'scrollbars=yes,toolbar=no,location=no,directories=no,status=yes,menubar=yes')",
             "}",
             "// -->",
             "</SCRIPT>",
             "</HEAD>",
             "<FRAMESET BORDER=\"0\" COLS=\"535,*\">",
             "  <FRAMESET BORDER=\"0\" ROWS=\"*,120\">",
             "    <FRAMESET BORDER=\"0\" COLS=\"335,*\">",
         }) {
        Write(std::string(line) + strNewLine);
    }
    Write("      <FRAME BORDER=\"0\" SRC=\"" + page + "?OP=source\" NAME=\"source\">" + strNewLine);
    Write("      <FRAME BORDER=\"0\" SRC=\"" + page + "?OP=target\" NAME=\"target\">" + strNewLine);
    Write("    </FRAMESET>" + strNewLine);
    Write("    <FRAME BORDER=\"0\" SRC=\"" + page + "?OP=info\" NAME=\"result\">" + strNewLine);
    Write("  </FRAMESET>" + strNewLine);
    Write("  <FRAME BORDER=\"0\" SRC=\"" + page + "?OP=zip\" NAME=\"controls\">" + strNewLine);
    Write("</FRAMESET>" + strNewLine);
    Write("<BODY>" + strNewLine);
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    Write("<H3>This application requires a frame-enabled browser</H3>" + strNewLine);
    Write(strPageClose);
}

}  // namespace vantrel
