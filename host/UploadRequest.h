#pragma once
// POST /upload: a multipart form as the page's upload window sends it, the fields "folder" (a
// Windows path), "replace" and "extract" ("1" for yes) first, then one or more "file" parts. The
// body is never held whole: each file is written as it arrives, unnamed, into the folder
// (PendingFile), with the signed-in account's file rights and within the disk's free-space
// reserve, and every file gets its name only once the whole upload has arrived, so an upload cut
// off leaves nothing. File by file, a name the pages cannot carry, a place the path policy
// refuses, and an existing file (unless replace=1) are refused. The answer is a result page (the
// component's), which with extract=1 goes on to extract each zip file stored into the folder as
// the unzip page would. Each file is recorded in the audit log.

#include <httplib.h>

#include <cstddef>
#include <functional>

#include "host/TransferCaller.h"

namespace vantrel::host {

// Serves the upload; written: told of the bytes of the answer as they are sent (access log).
void ServeUpload(const httplib::Request& request, httplib::Response& response,
                 const httplib::ContentReader& read, const TransferCaller& caller,
                 std::function<void(size_t)> written);

}  // namespace vantrel::host
