#pragma once
// Deflates the source files of one archive ahead of libzip on the library's worker threads, so
// that libzip only copies finished deflate data into the archive. A file is cut into pieces of at
// most kPieceSize bytes, deflated side by side and joined into one stream (see DeflatePiece).
//
// Only the calling thread opens files (through the list's opener, so a file is read only where the
// list found it and only while it is the same file) and consumes the results; the workers read
// from the descriptors it opened and return buffers (see WorkerPool). Memory stays bounded
// whatever the files' sizes: pieces are handed out only while the memory of those waiting to be
// copied (a piece's size while it is deflated, its deflated size after) stays below a budget per
// worker, and only a limited number of files are open ahead.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/files/UniqueFd.h"
#include "platform/ziplib/ByteBuffer.h"
#include "platform/ziplib/SourceList.h"
#include "platform/ziplib/WorkerPool.h"

namespace vantrel::ziplib {

struct DeflateLimits {
    size_t pieceSize = 4 << 20;
    size_t bytesPerWorker = 8 << 20;  // memory of pieces handed out and not yet copied
    size_t filesAhead = 64;           // files open ahead of the one being copied, not yet read
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

    // Hands out the next pieces (opening their files) while the budget allows, so that the
    // workers begin before the first file is read. The workers are woken once enough work waits
    // for them (a wake-up per small file would cost more than the file's deflating).
    void Prefetch();

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
        bool ownsFd = false;  // the file's only piece: the worker closes it once read
        // Written by a worker, read after done (under mutex_).
        ByteBuffer out;
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
        std::vector<std::shared_ptr<Piece>> waiting;  // submitted, not yet copied, from head
        size_t head = 0;
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
    // Hands out pieces in reading order while the budget and the open-file limit allow, and
    // wakes the workers.
    void HandOut();
    // The same without waking them; false when a limit stopped it.
    bool HandOutQuietly();
    void WakeWorkers();
    // Waits until a worker has deflated piece.
    void AwaitDone(const std::shared_ptr<Piece>& piece);
    void Deflate(Piece& piece, int fd) const;

    int level_;
    SourceOpener& opener_;
    WorkerPool& pool_;
    DeflateLimits limits_;
    size_t budget_;
    std::vector<Item> items_;
    std::vector<size_t> order_;
    size_t cursor_ = 0;  // in order_: the next file to hand pieces out for
    // The memory of the pieces handed out and not yet copied; workers change it as a deflated
    // piece takes less room than the piece did.
    std::atomic<int64_t> heldBytes_ = 0;
    // Files open ahead: a file of one piece is closed by the worker that read it, so that many
    // small files can wait deflated while a large one is still being read.
    std::atomic<size_t> openFiles_ = 0;
    size_t unwokenBytes_ = 0;  // handed out since the workers were last woken

    std::deque<std::shared_ptr<Piece>> queue_;  // handed out and not yet read, in that order

    std::mutex mutex_;
    std::condition_variable done_;
    size_t running_ = 0;              // pieces with the workers (under mutex_)
    const Piece* awaited_ = nullptr;  // the one whose end wakes the reader (under mutex_)
    bool cancelled_ = false;
};

}  // namespace vantrel::ziplib
