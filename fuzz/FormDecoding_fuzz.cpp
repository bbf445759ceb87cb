// The request's query string, form body and cookies as the host decodes them: raw bytes never
// crash the decoding, and fields encoded byte by byte come back exactly, NUL bytes included.
#include <httplib.h>

#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "host/ForwardedRequest.h"
#include "host/PageRequest.h"

namespace {

using namespace vantrel;

std::string PercentEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        encoded += '%';
        encoded += kHex[c >> 4];
        encoded += kHex[c & 15];
    }
    return encoded;
}

// Whatever the names and values hold, a browser's encoding of them decodes to exactly them.
void CheckRoundTrip(const std::string& name, const std::string& value) {
    std::string body = "OP=call_zip&" + PercentEncoded(name) + "=" + PercentEncoded(value);
    asp::FieldList fields = host::ParseUrlEncoded(body);
    FUZZ_CHECK(fields.size() == 2);
    FUZZ_CHECK(fields[0].first == "OP" && fields[0].second == "call_zip");
    FUZZ_CHECK(fields[1].first == name);
    FUZZ_CHECK(fields[1].second == value);
}

httplib::Request RequestOf(const std::vector<std::string>& fields) {
    httplib::Request request;
    bool post = !fields[0].empty() && (fields[0][0] & 1);
    request.method = post ? "POST" : "GET";
    request.target = "/farbale.asp?" + fields[1];
    request.body = fields[2];
    request.version = "HTTP/1.1";
    request.set_header("Content-Type", post ? "application/x-www-form-urlencoded" : "text/plain");
    request.set_header("Cookie", fields[3]);
    request.set_header("Host", fields[4]);
    request.set_header("Origin", fields[5]);
    return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // flags, query, body, cookies, host, origin
    auto fields = fuzz::SplitFields(data, size, 6);

    for (const auto& text : {fields[1], fields[2]}) {
        size_t pieces = 1;
        for (char c : text) {
            pieces += c == '&';
        }
        FUZZ_CHECK(host::ParseUrlEncoded(text).size() <= pieces);
    }
    for (const auto& [name, value] : host::ParseCookies(fields[3])) {
        host::CookieValue(fields[3], name);
    }
    CheckRoundTrip(fields[2], fields[3]);

    httplib::Request request = RequestOf(fields);
    asp::Request page = host::BuildPageRequest(request, "/farbale.asp", "fuzzhost");
    for (const char* name : {"OP", "SP", "SL", "TP", "ZN", "OS"}) {
        page.Item(name);
        page.Form(name);
    }
    FUZZ_CHECK(page.ServerVariables("SCRIPT_NAME") == "/farbale.asp");
    host::ForwardedRequest site = host::ResolveForwarded(request, {}, false);
    host::HostName(site.host, "fuzzhost");
    host::IsSameSitePost(request, site);
    return 0;
}
