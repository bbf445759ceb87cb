#include "platform/ziplib/CheckedZip.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/ReadFully.h"
#include "platform/files/UniqueFd.h"
#include "platform/ziplib/RawZipFormat.h"
#include "platform/ziplib/ReadOnlyZip.h"
#include "platform/ziplib/ZipErrors.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

using namespace raw;
using Piece = CheckedView::Piece;

// libzip reads a directory record by record in small pieces: they come from a window of the file
// read at once.
constexpr size_t kWindow = 1 << 18;

bool ReadAll(int fd, uint64_t offset, void* out, size_t length) {
    return platform::ReadFully(fd, out, length, offset) == 0;
}

void Put16(std::string& out, uint64_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

// The libzip source of a view.
class View {
  public:
    explicit View(std::unique_ptr<CheckedView> bytes) : bytes_(std::move(bytes)) {
        zip_error_init(&error_);
    }
    ~View() { zip_error_fini(&error_); }

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length,
                                zip_source_cmd_t command);

  private:
    zip_int64_t Fail(int zipError, int systemError) {
        zip_error_set(&error_, zipError, systemError);
        return -1;
    }

    std::unique_ptr<CheckedView> bytes_;
    uint64_t offset_ = 0;
    zip_error_t error_;
};

zip_int64_t View::Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* view = static_cast<View*>(self);
    switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                ZIP_SOURCE_SUPPORTS, -1);
        case ZIP_SOURCE_OPEN:
            view->offset_ = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            int64_t got = view->bytes_->Read(view->offset_, data, length);
            if (got < 0) {
                return view->Fail(ZIP_ER_READ, errno ? errno : EIO);
            }
            view->offset_ += static_cast<uint64_t>(got);
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_FREE:
            delete view;
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &view->error_);
            if (!stat) {
                return -1;
            }
            zip_stat_init(stat);
            stat->size = view->bytes_->Size();
            stat->valid = ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&view->error_, data, length);
        case ZIP_SOURCE_SEEK: {
            zip_int64_t offset = zip_source_seek_compute_offset(view->offset_, view->bytes_->Size(),
                                                                data, length, &view->error_);
            if (offset < 0) {
                return -1;
            }
            view->offset_ = static_cast<uint64_t>(offset);
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(view->offset_);
        default:
            return view->Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

// The directory with a zip64 field holding 0xFFFFFFFF in each record the check found with that
// value standing for itself. Records that could not take the field stay as they are.
std::optional<std::string> WidenedDirectory(int fd, const ArchiveLayout& layout) {
    std::string directory(layout.directorySize, '\0');
    if (!ReadAll(fd, layout.directoryStart, directory.data(), directory.size())) {
        return std::nullopt;
    }
    std::string out;
    auto widen = layout.literalMaxima.begin();
    for (uint64_t at = 0, index = 0; at + 46 <= directory.size(); ++index) {
        auto p = reinterpret_cast<const uint8_t*>(directory.data() + at);
        uint64_t nameLength = Get16(p + 28);
        uint64_t extraLength = Get16(p + 30);
        uint64_t length = 46 + nameLength + extraLength + Get16(p + 32);
        std::string record = directory.substr(at, length);
        at += length;
        if (widen == layout.literalMaxima.end() || *widen != index) {
            out += record;
            continue;
        }
        ++widen;
        std::string values;
        for (uint64_t field : {24u, 20u, 42u}) {  // size, compressed size, offset, in that order
            if (Get32(p + field) == kMax32) {
                values += std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8);
            }
        }
        if (extraLength + 4 + values.size() > kMax16) {
            out += record;
            continue;
        }
        std::string field;
        Put16(field, kZip64ExtraId);
        Put16(field, values.size());
        std::string grown;
        Put16(grown, extraLength + field.size() + values.size());
        record.replace(30, 2, grown);
        record.insert(46 + nameLength, field + values);
        out += record;
    }
    return out;
}

// Whether the directory's last bytes (the last entry's comment) look like a zip64 locator: they
// stand where libzip looks for one, so a real one must follow them.
bool EndsLikeALocator(int fd, const Piece& directory) {
    constexpr uint64_t kLocatorLength = 20;
    if (directory.length < kLocatorLength) {
        return false;
    }
    uint64_t at = directory.length - kLocatorLength;
    uint8_t bytes[4] = {};
    if (!directory.inFile) {
        std::memcpy(bytes, directory.text.data() + at, sizeof bytes);
    } else if (!ReadAll(fd, directory.fileOffset + at, bytes, sizeof bytes)) {
        return false;
    }
    return Get32(bytes) == kZip64LocatorSignature;
}

// The pieces of the view: the archive up to its directory, the directory, new end records and
// the archive comment.
std::optional<std::vector<Piece>> PiecesOf(int fd, const SpanCheck& check) {
    const ArchiveLayout& layout = check.layout;
    std::vector<Piece> pieces;
    pieces.push_back({layout.directoryStart - layout.start, layout.start});
    if (layout.literalMaxima.empty()) {
        pieces.push_back({layout.directorySize, layout.directoryStart});
    } else {
        auto directory = WidenedDirectory(fd, layout);
        if (!directory) {
            return std::nullopt;
        }
        pieces.push_back({directory->size(), 0, std::move(*directory), false});
    }
    std::string comment(layout.commentSize, '\0');
    if (!ReadAll(fd, layout.commentStart, comment.data(), comment.size())) {
        return std::nullopt;
    }
    std::string end = BuildEndRecords(check.entries, pieces[0].length, pieces[1].length, comment,
                                      EndsLikeALocator(fd, pieces[1]));
    pieces.push_back({end.size(), 0, std::move(end), false});
    return pieces;
}

}  // namespace

CheckedView::CheckedView(platform::UniqueFd fd, std::vector<Piece> pieces)
    : fd_(std::move(fd)), pieces_(std::move(pieces)) {
    for (const Piece& piece : pieces_) {
        size_ += piece.length;
    }
}

std::unique_ptr<CheckedView> CheckedView::Of(int fd, const SpanCheck& check) {
    platform::UniqueFd own(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    auto pieces = own ? PiecesOf(fd, check) : std::nullopt;
    if (!pieces) {
        return nullptr;
    }
    return std::unique_ptr<CheckedView>(new CheckedView(std::move(own), std::move(*pieces)));
}

int64_t CheckedView::Read(uint64_t offset, void* out, uint64_t length) {
    auto* into = static_cast<uint8_t*>(out);
    uint64_t done = 0;
    uint64_t pieceStart = 0;
    errno = 0;
    for (const Piece& piece : pieces_) {
        uint64_t at = offset + done;
        if (done < length && at < pieceStart + piece.length) {
            uint64_t within = at - pieceStart;
            size_t take = static_cast<size_t>(std::min(length - done, piece.length - within));
            if (!piece.inFile) {
                std::memcpy(into + done, piece.text.data() + within, take);
            } else if (!ReadFile(piece.fileOffset + within, into + done, take)) {
                return -1;
            }
            done += take;
        }
        pieceStart += piece.length;
    }
    return static_cast<int64_t>(done);
}

bool CheckedView::ReadFile(uint64_t offset, uint8_t* out, size_t length) {
    if (length >= kWindow) {
        return ReadAll(fd_.Get(), offset, out, length);
    }
    if (offset < windowStart_ || offset + length > windowStart_ + window_.size()) {
        window_.resize(kWindow);
        ssize_t got;
        do {
            got = ::pread(fd_.Get(), window_.data(), kWindow, static_cast<off_t>(offset));
        } while (got < 0 && errno == EINTR);
        window_.resize(got > 0 ? static_cast<size_t>(got) : 0);
        windowStart_ = offset;
        if (window_.size() < length) {
            return false;  // the file shrank since it was checked
        }
    }
    std::memcpy(out, window_.data() + (offset - windowStart_), length);
    return true;
}

int32_t OpenCheckedZip(int fd, const SpanCheck& check, int flags, OwnedZip& za) {
    za.reset();
    int zipError = 0;
    if (check.fault != SpanFault::None) {
        // Whether libzip would refuse it anyway, and how.
        if (!OpenReadOnlyZip(fd, flags, &zipError)) {
            return StatusOfZipError(zipError, errno);
        }
        return LSZIP_E_STRUCTURE;
    }
    auto bytes = CheckedView::Of(fd, check);
    if (!bytes) {
        return LSZIP_E_OPEN;
    }
    auto* view = new View(std::move(bytes));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(View::Callback, view, &error);
    if (!source) {
        delete view;
        zip_error_fini(&error);
        return LSZIP_E_MEMORY;
    }
    za.reset(zip_open_from_source(source, flags | ZIP_RDONLY, &error));
    int32_t code = LSZIP_OK;
    if (!za) {
        code = StatusOf(&error);
        zip_source_free(source);  // and with it the view
    }
    zip_error_fini(&error);
    return code;
}

}  // namespace vantrel::ziplib
