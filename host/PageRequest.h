#pragma once
// Turns an HTTP request into the scripting context's request: query string and form decoded as
// UTF-8, cookies, and the server variables a page reads.

#include <httplib.h>

#include <string>

#include "host/ForwardedRequest.h"
#include "platform/asp/ScriptingContext.h"

namespace vantrel::host {

// Decodes "a=1&b=x+y%2F" into fields in their order ("+" is a blank).
asp::FieldList ParseUrlEncoded(const std::string& text);

// "a=1; b=2" into fields.
asp::FieldList ParseCookies(const std::string& header);

// The value of one cookie in a Cookie header; empty when it is not there.
std::string CookieValue(const std::string& header, const std::string& name);

// A Host value ("example.org:8080") without its port, or the fallback when it is empty.
std::string HostName(const std::string& host, const std::string& fallback);

// account: the signed-in account's name, as the server variable AUTH_USER (empty: nobody).
// client: the client's address as REMOTE_ADDR (empty: the connection's peer).
asp::Request BuildPageRequest(const httplib::Request& request, const std::string& scriptName,
                              const std::string& serverName, const std::string& account = {},
                              const std::string& client = {});

// False for a POST whose Origin (or, without one, whose Referer) names a site other than the one
// the browser sent the request to (site.host; with the scheme too when a trusted proxy told it):
// the pages only ever post to themselves.
bool IsSameSitePost(const httplib::Request& request, const ForwardedRequest& site);

}  // namespace vantrel::host
