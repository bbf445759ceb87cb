#include "platform/ziplib/ArchiveFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/files/TemporaryFiles.h"
#include "platform/ziplib/ArchivePrefix.h"
#include "platform/ziplib/ArchiveReader.h"
#include "platform/ziplib/EntrySpanCheck.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr size_t kGathered = 1 << 20;

bool WriteAll(int fd, const char* data, uint64_t size, uint64_t offset) {
    while (size > 0) {
        ssize_t done = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (done <= 0) {
            if (done < 0 && errno == EINTR) {
                continue;
            }
            if (done == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += done;
        offset += static_cast<uint64_t>(done);
        size -= static_cast<uint64_t>(done);
    }
    return true;
}

}  // namespace

ArchiveFile::ArchiveFile(const platform::ConfinedPath& folder, std::string name)
    : folder_(::fcntl(folder.Fd(), F_DUPFD_CLOEXEC, 0)),
      name_(std::move(name)),
      realPath_(folder.RealPath() + name_) {
    zip_error_init(&error_);
    existing_.Reset(
        ::openat(folder_.Get(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!existing_) {
        if (errno == ELOOP) {
            openStatus_ = LSZIP_E_REFUSED;
        } else if (errno != ENOENT) {
            openStatus_ = LSZIP_E_OPEN;
            openError_ = errno;
        }
        return;
    }
    if (::fstat(existing_.Get(), &info_) != 0 || !S_ISREG(info_.st_mode)) {
        openStatus_ = LSZIP_E_ARCHIVE_PATH;
        existing_.Reset();
        return;
    }
    ::fcntl(existing_.Get(), F_SETFL, ::fcntl(existing_.Get(), F_GETFL) & ~O_NONBLOCK);
}

ArchiveFile::~ArchiveFile() {
    RollbackWrite();
    zip_error_fini(&error_);
}

OwnedZip ArchiveFile::Open(int flags, int& zipError) {
    if (Exists()) {
        SpanCheck check = CheckEntrySpans(DescriptorReader(existing_.Get()));
        view_ = check.fault == SpanFault::None ? CheckedView::Of(existing_.Get(), check) : nullptr;
        prefix_ = view_ ? check.layout.firstEntry : 0;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(Callback, this, &error);
    OwnedZip za(source ? zip_open_from_source(source, flags, &error) : nullptr);
    if (!za) {
        zipError = zip_error_code_zip(&error);
        errno = zip_error_code_system(&error);
        if (source) {
            zip_source_free(source);
        }
    }
    zip_error_fini(&error);
    return za;
}

zip_int64_t ArchiveFile::Callback(void* self, void* data, zip_uint64_t length,
                                  zip_source_cmd_t cmd) {
    auto* file = static_cast<ArchiveFile*>(self);
    switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
                ZIP_SOURCE_REMOVE, ZIP_SOURCE_SUPPORTS, -1);
        case ZIP_SOURCE_OPEN:
            file->offset_ = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return file->Read(data, length);
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT:
            return file->Stat(data);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&file->error_, data, length);
        case ZIP_SOURCE_SEEK:
            return file->Seek(data, length, false);
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(file->offset_);
        case ZIP_SOURCE_BEGIN_WRITE:
            return file->BeginWrite();
        case ZIP_SOURCE_WRITE:
            return file->Write(data, length);
        case ZIP_SOURCE_SEEK_WRITE:
            return file->Seek(data, length, true);
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(file->gatheredAt_ + file->cursor_);
        case ZIP_SOURCE_COMMIT_WRITE:
            return file->CommitWrite();
        case ZIP_SOURCE_ROLLBACK_WRITE:
            file->RollbackWrite();
            return 0;
        case ZIP_SOURCE_REMOVE:
            return file->prefix_ > 0 ? file->KeepPrefixAlone() : file->Remove();
        default:
            return file->Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

zip_int64_t ArchiveFile::Fail(int zipError, int systemError) {
    zip_error_set(&error_, zipError, systemError);
    return -1;
}

zip_int64_t ArchiveFile::Remove() {
    // Only the archive this object opened goes, never a file put in its place since.
    struct stat now {};
    if (::fstatat(folder_.Get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        platform::SameFile(now, info_) && ::unlinkat(folder_.Get(), name_.c_str(), 0) != 0) {
        return Fail(ZIP_ER_REMOVE, errno);
    }
    return 0;
}

// An archive left without entries is removed, but data in front of it is no entry: it stays, with
// an empty archive behind it.
zip_int64_t ArchiveFile::KeepPrefixAlone() {
    std::string empty = raw::BuildEndRecords(0, 0, 0);
    if (BeginWrite() < 0 || Write(empty.data(), empty.size()) < 0 || CommitWrite() < 0) {
        RollbackWrite();
        return -1;
    }
    return 0;
}

zip_int64_t ArchiveFile::Read(void* data, zip_uint64_t length) {
    if (view_) {
        int64_t got = view_->Read(offset_, data, length);
        if (got < 0) {
            return Fail(ZIP_ER_READ, errno ? errno : EIO);
        }
        offset_ += static_cast<uint64_t>(got);
        return got;
    }
    ssize_t got = ::pread(existing_.Get(), data, length, static_cast<off_t>(offset_));
    if (got < 0) {
        return Fail(ZIP_ER_READ, errno);
    }
    offset_ += static_cast<uint64_t>(got);
    return got;
}

zip_int64_t ArchiveFile::Stat(void* data) {
    if (!Exists()) {
        // libzip takes a read error "no such file" as an archive still to be created.
        return Fail(ZIP_ER_READ, ENOENT);
    }
    auto* st = static_cast<zip_stat_t*>(data);
    zip_stat_init(st);
    st->size = ReadableSize();
    st->mtime = info_.st_mtime;
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    return sizeof(zip_stat_t);
}

zip_int64_t ArchiveFile::Seek(void* data, zip_uint64_t length, bool writing) {
    if (writing) {
        auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &error_);
        if (!args) {
            return -1;
        }
        int64_t base = args->whence == SEEK_SET   ? 0
                       : args->whence == SEEK_CUR ? static_cast<int64_t>(gatheredAt_ + cursor_)
                                                  : static_cast<int64_t>(end_);
        int64_t target = base + args->offset;
        if (target < 0 ||
            (args->whence != SEEK_SET && args->whence != SEEK_CUR && args->whence != SEEK_END)) {
            return Fail(ZIP_ER_SEEK, EINVAL);
        }
        auto position = static_cast<uint64_t>(target);
        if (position >= gatheredAt_ && position <= gatheredAt_ + gatheredSize_) {
            cursor_ = static_cast<size_t>(position - gatheredAt_);
            return 0;
        }
        if (!Flush()) {
            return Fail(ZIP_ER_WRITE, errno);
        }
        gatheredAt_ = position;
        return 0;
    }
    zip_int64_t offset =
        zip_source_seek_compute_offset(offset_, ReadableSize(), data, length, &error_);
    if (offset < 0) {
        return -1;
    }
    offset_ = static_cast<uint64_t>(offset);
    return 0;
}

zip_int64_t ArchiveFile::BeginWrite() {
    RollbackWrite();
    std::string name = platform::TemporaryFileName();
    written_.Reset(::openat(folder_.Get(), name.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!written_) {
        return Fail(ZIP_ER_TMPOPEN, errno);
    }
    temporaryName_ = std::move(name);
    if (!gathered_) {
        gathered_ = std::make_unique_for_overwrite<char[]>(kGathered);
    }
    gatheredSize_ = cursor_ = 0;
    gatheredAt_ = end_ = 0;
    if (Exists()) {
        ::fchmod(written_.Get(), info_.st_mode & 07777);  // the archive keeps its permissions
    }
    if (prefix_ > 0 && !CopyPrefix(existing_.Get(), written_.Get(), prefix_)) {
        int error = errno;
        RollbackWrite();
        return Fail(ZIP_ER_WRITE, error);
    }
    return 0;
}

bool ArchiveFile::Flush() {
    bool written = gatheredSize_ == 0 ||
                   WriteAll(written_.Get(), gathered_.get(), gatheredSize_, prefix_ + gatheredAt_);
    gatheredAt_ += cursor_;
    gatheredSize_ = cursor_ = 0;
    return written;
}

zip_int64_t ArchiveFile::Write(const void* data, zip_uint64_t length) {
    const char* bytes = static_cast<const char*>(data);
    if ((length >= kGathered || cursor_ + length > kGathered) && !Flush()) {
        return Fail(ZIP_ER_WRITE, errno);
    }
    if (length >= kGathered) {
        if (!WriteAll(written_.Get(), bytes, length, prefix_ + gatheredAt_)) {
            return Fail(ZIP_ER_WRITE, errno);
        }
        gatheredAt_ += length;
    } else {
        std::copy(bytes, bytes + length, gathered_.get() + cursor_);
        cursor_ += static_cast<size_t>(length);
        gatheredSize_ = std::max(gatheredSize_, cursor_);
    }
    end_ = std::max<uint64_t>(end_, gatheredAt_ + cursor_);
    return static_cast<zip_int64_t>(length);
}

zip_int64_t ArchiveFile::CommitWrite() {
    if (!Flush()) {
        return Fail(ZIP_ER_WRITE, errno);
    }
    writtenSize_ = end_;
    if (prefix_ > 0) {
        auto size = CountOffsetsFromFileStart(written_.Get(), prefix_, end_);
        if (!size) {
            return Fail(ZIP_ER_WRITE, errno ? errno : EIO);
        }
        writtenSize_ = *size;
    }
    // An archive whose entries do not read back as sound (libzip copied a record that claims
    // more than its entry holds) never takes the original's place: the change fails instead.
    if (CheckEntrySpans(DescriptorReader(written_.Get())).fault != SpanFault::None) {
        return Fail(ZIP_ER_INCONS, 0);
    }
    if (::renameat(folder_.Get(), temporaryName_.c_str(), folder_.Get(), name_.c_str()) != 0) {
        return Fail(ZIP_ER_RENAME, errno);
    }
    temporaryName_.clear();
    return 0;
}

void ArchiveFile::RollbackWrite() {
    if (!temporaryName_.empty()) {
        ::unlinkat(folder_.Get(), temporaryName_.c_str(), 0);
        temporaryName_.clear();
        written_.Reset();
    }
}

}  // namespace vantrel::ziplib
