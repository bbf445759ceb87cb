#pragma once
// Deflates the source files of one archive ahead of libzip on the library's worker threads, so
// that libzip only copies finished deflate data into the archive. A file is cut into pieces of at
// most kPieceSize bytes, deflated side by side and joined into one stream (see DeflatePiece).
//
// Only the calling thread opens files (through the list's opener, so a file is read only where the
// list found it and only while it is the same file) and consumes the results; the workers read
// from the descriptors it opened and return buffers (see WorkerPool). Memory stays bounded
// whatever the files' sizes: pieces are handed out only while their bytes waiting to be copied
// stay below a budget per worker, and only a limited number of files are open ahead.

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/files/UniqueFd.h"
#include "platform/ziplib/SourceList.h"
#include "platform/ziplib/WorkerPool.h"

namespace vantrel::ziplib {

struct DeflateLimits {
    size_t pieceSize = 4 << 20;
    size_t bytesPerWorker = 8 << 20;  // pieces handed out and not yet copied
    size_t filesAhead = 64;           // files open ahead of the one being copied
};

class ParallelDeflater {
  public:
    ParallelDeflater(int level, SourceOpener& opener, WorkerPool& pool, DeflateLimits limits = {});
    // Waits for the pieces still with the workers.
    ~ParallelDeflater();
    ParallelDeflater(const ParallelDeflater&) = delete;
    ParallelDeflater& operator=(const ParallelDeflater&) = delete;

    // Takes file on; its number. file must outlive this object.
    size_t Add(const SourceFile& file);
    // The order in which the files will be read (numbers from Add); files are deflated ahead in
    // it. Without it, the order of Add.
    void ReadInOrder(std::vector<size_t> order);

    // Begins reading file number: 0, or an errno value when it cannot be opened (any more).
    int Open(size_t number);
    // Copies the file's next deflated bytes into data: how many, 0 at its end, or -1 with errno
    // set (a read error, or the file shrank while it was read).
    int64_t Read(size_t number, void* data, size_t length);
    // Lets go of the file's descriptor (the results stay).
    void Close(size_t number);

    // Once Read has returned 0: the bytes deflated, their CRC and the size of the deflate data.
    bool Finished(size_t number) const { return items_[number].finished; }
    uint64_t Size(size_t number) const { return items_[number].size; }
    uint32_t Crc(size_t number) const { return items_[number].crc; }
    uint64_t DeflatedSize(size_t number) const { return items_[number].deflated; }

  private:
    struct Piece {
        uint64_t offset = 0;
        size_t length = 0;
        bool last = false;
        // Written by a worker, read after done (under mutex_).
        std::vector<uint8_t> out;
        uint32_t crc = 0;
        int error = 0;
        bool done = false;
    };
    struct Item {
        const SourceFile* file = nullptr;
        platform::UniqueFd fd;
        bool opened = false;
        int openError = 0;
        uint64_t planned = 0;  // the size when opened
        size_t pieces = 0;
        size_t submitted = 0;
        std::deque<std::shared_ptr<Piece>> waiting;  // submitted, not yet copied
        std::shared_ptr<Piece> current;
        size_t position = 0;  // in current->out
        bool finished = false;
        uint64_t size = 0;
        uint32_t crc = 0;
        uint64_t deflated = 0;
    };

    void OpenItem(Item& item);
    void CloseItem(Item& item);
    void Submit(Item& item);
    // Hands out pieces in reading order while the budget and the open-file limit allow.
    void HandOut();
    void Deflate(Piece& piece, int fd) const;

    int level_;
    SourceOpener& opener_;
    WorkerPool& pool_;
    DeflateLimits limits_;
    size_t budget_;
    std::vector<Item> items_;
    std::vector<size_t> order_;
    size_t cursor_ = 0;  // in order_: the next file to hand pieces out for
    size_t waitingBytes_ = 0;
    size_t openFiles_ = 0;

    std::mutex mutex_;
    std::condition_variable done_;
    size_t running_ = 0;  // pieces with the workers (under mutex_)
    bool cancelled_ = false;
};

}  // namespace vantrel::ziplib
