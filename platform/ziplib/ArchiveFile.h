#pragma once
// An archive in its folder, for libzip to read through the descriptor opened for it and to rewrite
// through a temporary file in the same folder, renamed over the archive's name when complete. The
// archive is never reached by a path from the drive's root again, so a folder or file swapped for
// a link after the caller's check changes nothing; a failure or an abort leaves it as it was.
// libzip reads the archive as the unzip side does (see CheckedView) when the span check passes it,
// else as it lies; data in front of it (a self-extracting stub) stays in front of the new archive.

#include <sys/stat.h>
#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/CheckedZip.h"

namespace vantrel::ziplib {

class ArchiveFile {
  public:
    // Opens the archive name in folder when it exists. A link found in its place (put there since
    // the name was checked) or anything but a regular file is refused: see OpenStatus.
    ArchiveFile(const platform::ConfinedPath& folder, std::string name);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // 0, or the status code of why the existing archive cannot be used, and the file system's
    // reason (errno) when it refused.
    int32_t OpenStatus() const { return openStatus_; }
    int OpenError() const { return openError_; }
    // Where the archive lies, as a Windows path.
    const std::string& RealPath() const { return realPath_; }
    bool Exists() const { return existing_.IsOpen(); }
    const struct stat& Info() const { return info_; }
    int Fd() const { return existing_.Get(); }
    int FolderFd() const { return folder_.Get(); }
    const std::string& Name() const { return name_; }

    // libzip's archive on this file (flags as zip_open's); null with zipError set. Closing it
    // with zip_close writes the new archive and puts it in place.
    OwnedZip Open(int flags, int& zipError);

    // The new archive once zip_close put it in place: open for reading, and its size.
    int WrittenFd() const { return written_.Get(); }
    uint64_t WrittenSize() const { return writtenSize_; }

  private:
    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t cmd);
    zip_int64_t Read(void* data, zip_uint64_t length);
    zip_int64_t Stat(void* data);
    zip_int64_t Seek(void* data, zip_uint64_t length, bool writing);
    zip_int64_t BeginWrite();
    zip_int64_t Write(const void* data, zip_uint64_t length);
    zip_int64_t CommitWrite();
    void RollbackWrite();
    zip_int64_t Remove();
    zip_int64_t KeepPrefixAlone();
    zip_int64_t Fail(int zipError, int systemError);
    uint64_t ReadableSize() const {
        return view_ ? view_->Size() : static_cast<uint64_t>(info_.st_size);
    }

    platform::UniqueFd folder_;
    std::string name_;
    std::string realPath_;
    int openError_ = 0;
    platform::UniqueFd existing_;
    struct stat info_ {};
    int32_t openStatus_ = 0;
    std::unique_ptr<CheckedView> view_;  // what libzip reads; null: the file as it lies
    uint64_t prefix_ = 0;                // the bytes in front of the archive's first entry
    uint64_t offset_ = 0;
    platform::UniqueFd written_;
    std::string temporaryName_;
    uint64_t writtenSize_ = 0;
    // libzip writes an entry's header, data and header again in small pieces: they are gathered
    // here and leave in large writes (seeks inside the gathered bytes move within them).
    bool Flush();
    std::unique_ptr<char[]> gathered_;  // kGathered bytes, of which gatheredSize_ are in use
    size_t gatheredSize_ = 0;
    uint64_t gatheredAt_ = 0;  // the file offset of gathered_[0]
    size_t cursor_ = 0;        // the write position inside gathered_
    uint64_t end_ = 0;         // the file's size as written so far
    zip_error_t error_;
};

}  // namespace vantrel::ziplib
