// The information page that the result frame shows first: the page shell around its content.
#include "component/core/Escape.h"
#include "component/core/Farbale.h"

namespace vantrel {

void Farbale::WriteInfoPage() {
    Write(strPageHead);
    Write("</HEAD>" + strNewLine + "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine +
          strFontOpen + strNewLine);
    WriteInfoContent();
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    // The host names the signed-in account in AUTH_USER, as a web server does; signing out ends
    // the session of the whole window, so the form leaves the frame.
    if (std::string account = ServerVariable("AUTH_USER"); !account.empty()) {
        Write("<FORM ACTION=\"/signout\" METHOD=\"POST\" TARGET=\"_top\">" + strSpanSmall +
              "Signed in as " + HtmlEscape(account) +
              " <INPUT TYPE=\"SUBMIT\" VALUE=\"Sign out\" STYLE=\"font-size:9pt\"></SPAN></FORM>" +
              strNewLine);
    }
    Write(strPageClose);
}

}  // namespace vantrel
