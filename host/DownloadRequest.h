#pragma once
// GET or POST /download: the file path= names, or one entry of that archive (entry=, with the
// password PW= in a posted form for an encrypted one, never in an address), sent as an attachment
// that the browser saves and never shows: Content-Disposition names the file (RFC 6266, the UTF-8
// name in filename*), nosniff. The file is opened with the signed-in account's file rights where
// the path policy allows it, as named and where it really lies; what cannot be sent is answered
// with a page in the words of the policy or of the file system. A file is read in pieces as it is
// sent, with byte ranges and Last-Modified (FileResponse); an entry is decompressed as it is sent,
// and an entry of up to a megabyte is read whole first, so that its damage is told by a page
// rather than by a download that breaks off. Each download is recorded in the audit log.

#include <httplib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/TransferCaller.h"

namespace vantrel::host {

// Answers the download; gives back the bytes its body holds, for the access log.
uint64_t ServeDownload(const httplib::Request& request, httplib::Response& response,
                       const TransferCaller& caller);

// "attachment; filename=\"a_b.txt\"; filename*=UTF-8''a%C3%A9b.txt": the name as it is in
// filename*, and an ASCII stand-in in filename for browsers without it.
std::string AttachmentDisposition(std::string_view name);

}  // namespace vantrel::host
