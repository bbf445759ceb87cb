#pragma once
// The zip library as the component calls it. The two library files, liblspzipx.so (zip side) and
// liblspuzipx.so (unzip side), are loaded by name at first use: first from the folder that holds
// the component's own code, then from the system's library path. Each function is looked up by
// name at its first call. A missing file or function throws std::runtime_error with a description
// that the calling operation reports.

#include <cstdint>
#include <string>

#include "platform/ziplib/lszip.h"

namespace vantrel {

namespace lszip {

// Text arguments: the library reads NUL-terminated UTF-8 and never writes into it, so it is handed
// the string's own characters. A text holding a NUL byte would reach the library cut short, so it
// is never passed: a setter answers 0 (refused), an execute call -11.
int32_t LSZIP_VER();
int32_t LSZIP_SETTEMPATH(const std::string& folder);
int32_t LSZIP_INCLUDE(const std::string& list);
int32_t LSZIP_PASSWORD(const std::string& password);
int32_t LSZIP_SETCALLBACK(ZipProgressFn callback);
int32_t LSZIP_EXECUTE(const std::string& archive, int32_t action, int32_t level, int32_t flags);
int32_t LSZIP_SETPATHCHECK(ZipPathCheckFn check);
int32_t LSZIP_SETMSG(ZipMessageFn report);
int32_t LSZIP_GETBYTES(int64_t& read, int64_t& written);
int32_t LSZIP_GETREPAIR(int32_t& recovered, int32_t& counted, std::string& keptAs);

int32_t LSUZ_VER();
int32_t LSUZ_RESET();
int32_t LSUZ_ZIPNAME(const std::string& archive);
int32_t LSUZ_INCLUDE(const std::string& names);
int32_t LSUZ_EXTRACTTO(const std::string& folder);
int32_t LSUZ_PASSWORD(const std::string& password);
int32_t LSUZ_SETCALLBACK(ZipProgressFn callback);
int32_t LSUZ_EXECUTE(int32_t action, int32_t flags);
int32_t LSUZ_SETPATHCHECK(ZipPathCheckFn check);
int32_t LSUZ_SETMSG(ZipMessageFn report);
int32_t LSUZ_GETBYTES(int64_t& read, int64_t& written);
// The next listed entry, with what the record cannot hold: the full name and the 64-bit sizes.
int32_t LSUZ_GETNEXTEX(ZipEntryRecord& record, std::string& fullName, int64_t& size,
                       int64_t& compressedSize);

// One entry on its own (lszip.h): opened by name in the archive of LSUZ_ZIPNAME, then read into a
// sink and closed.
int32_t LSUZ_OPENENTRY(const std::string& name, void*& entry, int64_t& size);
int32_t LSUZ_READENTRY(void* entry, ZipSinkFn sink, void* context);
int32_t LSUZ_CLOSEENTRY(void* entry);

// The folder of the component's own code, where the library files are looked for first.
std::string ComponentFolder();

}  // namespace lszip
}  // namespace vantrel
