#include "host/SignInPage.h"

#include "component/Component.h"

namespace vantrel::host {

std::string SignInPage(std::string_view message, std::string_view account) {
    std::string page =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\r\n"
        "<HTML><HEAD>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\r\n"
        "<TITLE>Quillfen Farbale: Sign in</TITLE>\r\n"
        "</HEAD>\r\n"
        "<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"7\" LEFTMARGIN=\"7\">\r\n"
        "<FONT FACE=\"Tahoma,Verdana,Arial,sans-serif\" SIZE=\"2\">\r\n"
        "<FORM NAME=\"frmSignIn\" ACTION=\"/signin\" METHOD=\"POST\" TARGET=\"_top\">\r\n"
        "<TABLE BORDER=\"1\" CELLPADDING=\"7\"><TR><TD>\r\n"
        "<TABLE CELLSPACING=\"0\" CELLPADDING=\"3\">\r\n"
        " <TR><TD>Account:</TD><TD><INPUT TYPE=\"TEXT\" NAME=\"account\" SIZE=\"20\" "
        "VALUE=\"" +
        HtmlEscape(account) +
        "\" AUTOCOMPLETE=\"username\" AUTOFOCUS></TD></TR>\r\n"
        " <TR><TD>Password:</TD><TD><INPUT TYPE=\"PASSWORD\" NAME=\"password\" SIZE=\"20\" "
        "AUTOCOMPLETE=\"current-password\"></TD></TR>\r\n"
        " <TR><TD></TD><TD><INPUT TYPE=\"SUBMIT\" NAME=\"btnSignIn\" VALUE=\"Sign in\" "
        "STYLE=\"width:60px;font-size:9pt\"></TD></TR>\r\n"
        "</TABLE>\r\n"
        "</TD></TR></TABLE>\r\n"
        "</FORM>\r\n";
    if (!message.empty()) {
        page += "<B>" + HtmlEscape(message) + "</B>\r\n";
    }
    return page + "</FONT>\r\n</BODY>\r\n</HTML>\r\n";
}

}  // namespace vantrel::host
