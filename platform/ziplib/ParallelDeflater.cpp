#include "platform/ziplib/ParallelDeflater.h"

#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "platform/files/ReadFully.h"
#include "platform/ziplib/DeflatePiece.h"

namespace vantrel::ziplib {

namespace {}  // namespace

ParallelDeflater::ParallelDeflater(int level, SourceOpener& opener, WorkerPool& pool,
                                   DeflateLimits limits)
    : level_(level),
      opener_(opener),
      pool_(pool),
      limits_(limits),
      budget_(limits.bytesPerWorker * std::max(1u, pool.Size())) {}

ParallelDeflater::~ParallelDeflater() {
    pool_.Wake();  // pieces handed out quietly still end
    std::unique_lock lock(mutex_);
    cancelled_ = true;
    done_.wait(lock, [this] { return running_ == 0; });
}

size_t ParallelDeflater::Add(const SourceFile& file) {
    items_.emplace_back();
    items_.back().file = &file;
    order_.push_back(items_.size() - 1);
    return items_.size() - 1;
}

void ParallelDeflater::ReadInOrder(std::vector<size_t> order) {
    order_ = std::move(order);
    cursor_ = 0;
}

void ParallelDeflater::OpenItem(Item& item) {
    item.opened = true;
    struct stat info {};
    item.fd = opener_.Open(*item.file, &info);
    if (!item.fd) {
        item.openError = errno ? errno : EIO;
        item.fd.Reset();
        return;
    }
    item.planned = static_cast<uint64_t>(info.st_size);
    item.pieces = std::max<uint64_t>(1, (item.planned + limits_.pieceSize - 1) / limits_.pieceSize);
    ++openFiles_;
}

void ParallelDeflater::CloseItem(Item& item) {
    if (item.fd) {
        item.fd.Reset();
        --openFiles_;
    }
}

void ParallelDeflater::Submit(Item& item) {
    auto piece = std::make_shared<Piece>();
    piece->offset = item.submitted * limits_.pieceSize;
    piece->length =
        static_cast<size_t>(std::min<uint64_t>(limits_.pieceSize, item.planned - piece->offset));
    piece->last = item.submitted + 1 == item.pieces;
    ++item.submitted;
    item.waiting.push_back(piece);
    queue_.push_back(piece);
    heldBytes_ += static_cast<int64_t>(piece->length);
    {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    // A file of several pieces stays open until every piece is done.
    piece->ownsFd = item.pieces == 1;
    int fd = piece->ownsFd ? item.fd.Release() : item.fd.Get();
    unwokenBytes_ += piece->length + 1;
    pool_.Submit([this, piece, fd] {
        bool cancelled;
        {
            std::lock_guard lock(mutex_);
            cancelled = cancelled_;
        }
        if (cancelled) {
            piece->error = ECANCELED;
        } else {
            Deflate(*piece, fd);
        }
        // From here on the piece holds its deflated bytes only, mostly far fewer.
        if (piece->out.capacity() > piece->out.size() + piece->out.size() / 4 + 4096) {
            piece->out.shrink_to_fit();
        }
        heldBytes_ +=
            static_cast<int64_t>(piece->out.capacity()) - static_cast<int64_t>(piece->length);
        if (piece->ownsFd) {
            ::close(fd);
            --openFiles_;
        }
        std::lock_guard lock(mutex_);
        piece->done = true;
        --running_;
        if (piece.get() == awaited_ || cancelled_) {
            done_.notify_all();
        }
    });
}

void ParallelDeflater::AwaitDone(const std::shared_ptr<Piece>& piece) {
    std::unique_lock lock(mutex_);
    if (piece->done) {
        return;
    }
    lock.unlock();
    WakeWorkers();  // the piece may still wait for a worker asleep
    lock.lock();
    // Asleep anyway: until a few later pieces are done too, which then need no wake-up.
    const std::shared_ptr<Piece>& later =
        queue_.empty() ? piece : queue_[std::min(queue_.size(), kWakeBatch) - 1];
    while (!piece->done || !later->done) {
        awaited_ = !piece->done ? piece.get() : later.get();
        done_.wait(lock);
    }
    awaited_ = nullptr;
}

void ParallelDeflater::WakeWorkers() {
    if (unwokenBytes_ > 0) {
        unwokenBytes_ = 0;
        pool_.Wake();
    }
}

void ParallelDeflater::HandOut() {
    HandOutQuietly();
    WakeWorkers();
}

void ParallelDeflater::Prefetch() {
    constexpr size_t kWorthWaking = 128 << 10;
    // Once nothing more may be handed out, the workers must take what waits, however little.
    if (!HandOutQuietly() || unwokenBytes_ >= kWorthWaking) {
        WakeWorkers();
    }
}

void ParallelDeflater::Deflate(Piece& piece, int fd) const {
    thread_local ByteBuffer input;
    size_t dictionary = static_cast<size_t>(std::min<uint64_t>(piece.offset, kDeflateWindow));
    input.resize(dictionary + piece.length);
    piece.error = platform::ReadFully(fd, input.data(), input.size(), piece.offset - dictionary);
    if (piece.error) {
        return;
    }
    std::span<const uint8_t> data(input.data() + dictionary, piece.length);
    piece.crc = static_cast<uint32_t>(libdeflate_crc32(0, data.data(), data.size()));
    if (!DeflatePiece(level_, {input.data(), dictionary}, data, piece.last, piece.out)) {
        piece.error = ENOMEM;
    }
}

bool ParallelDeflater::HandOutQuietly() {
    while (cursor_ < order_.size()) {
        Item& item = items_[order_[cursor_]];
        if (!item.opened) {
            if (openFiles_ >= limits_.filesAhead) {
                return false;
            }
            OpenItem(item);
        }
        if (item.openError || item.submitted == item.pieces || item.finished) {
            ++cursor_;
            continue;
        }
        uint64_t next = std::min<uint64_t>(limits_.pieceSize,
                                           item.planned - item.submitted * limits_.pieceSize);
        int64_t held = heldBytes_;
        if (held > 0 && static_cast<uint64_t>(held) + next > budget_) {
            return false;
        }
        Submit(item);
    }
    return true;
}

int ParallelDeflater::Open(size_t number) {
    Item& item = items_[number];
    if (!item.opened) {
        OpenItem(item);
    }
    HandOut();
    return item.openError;
}

int64_t ParallelDeflater::Read(size_t number, void* data, size_t length) {
    Item& item = items_[number];
    if (item.openError) {
        errno = item.openError;
        return -1;
    }
    while (!item.current || item.position == item.current->out.size()) {
        if (item.current) {
            heldBytes_ -= static_cast<int64_t>(item.current->out.capacity());
            item.current.reset();
        }
        if (item.head == item.waiting.size()) {
            if (item.submitted == item.pieces) {
                item.finished = true;
                item.waiting = {};
                item.head = 0;
                CloseItem(item);
                Prefetch();
                return 0;
            }
            Submit(item);  // beyond the budget if need be: this is the piece being waited for
            WakeWorkers();
        }
        std::shared_ptr<Piece> piece = std::move(item.waiting[item.head++]);
        // Pieces are read in the order they are handed out, but for files libzip left unread.
        if (!queue_.empty() && queue_.front() == piece) {
            queue_.pop_front();
        } else {
            std::erase(queue_, piece);
        }
        Prefetch();
        AwaitDone(piece);
        if (piece->error) {
            heldBytes_ -= static_cast<int64_t>(piece->out.capacity());
            errno = piece->error;
            return -1;
        }
        item.crc = item.size == 0
                       ? piece->crc
                       : static_cast<uint32_t>(crc32_combine64(
                             item.crc, piece->crc, static_cast<z_off64_t>(piece->length)));
        item.size += piece->length;
        item.deflated += piece->out.size();
        item.current = std::move(piece);
        item.position = 0;
    }
    size_t n = std::min(length, item.current->out.size() - item.position);
    std::memcpy(data, item.current->out.data() + item.position, n);
    item.position += n;
    return static_cast<int64_t>(n);
}

void ParallelDeflater::Close(size_t number) {
    // A piece still with a worker reads from the descriptor: it stays open until the end then.
    Item& item = items_[number];
    if (item.head == item.waiting.size()) {
        CloseItem(item);
    }
}

}  // namespace vantrel::ziplib
