#pragma once
// Inflates the small entries of an archive ahead of extraction or test on the library's worker
// threads (see WorkerPool), so that several entries are inflated at once while the calling thread
// writes or checks them in order. Workers only read the archive's descriptor and fill buffers;
// the entries waiting to be taken are held to a budget of bytes per worker.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ziplib/RawEntryInflate.h"
#include "platform/ziplib/WorkerPool.h"

namespace vantrel::ziplib {

class ParallelInflater {
  public:
    // entries in the order they will be taken (each at most kWholeEntryLimit); fd stays open.
    // Without keepData (a test) each entry is only checked: Take hands back its status alone.
    ParallelInflater(int fd, WorkerPool& pool, std::vector<RawEntry> entries, bool keepData,
                     size_t bytesPerWorker = 16 << 20);
    // Waits for the entries still with the workers.
    ~ParallelInflater();
    ParallelInflater(const ParallelInflater&) = delete;
    ParallelInflater& operator=(const ParallelInflater&) = delete;

    // Whether index is one of the entries.
    bool Has(uint64_t index) const;
    // The entry's data (a status code; 0 with data filled). Entries are taken in order; those
    // passed over are dropped.
    int32_t Take(uint64_t index, ByteBuffer& data);

  private:
    struct Job {
        RawEntry entry;
        ByteBuffer out;  // written by a worker, read after done (under mutex_)
        int32_t code = 0;
        bool done = false;
    };
    void HandOut();
    // Waits until a worker has inflated job's entry.
    void AwaitDone(const std::shared_ptr<Job>& job);

    int fd_;
    bool keepData_;
    WorkerPool& pool_;
    std::vector<RawEntry> entries_;
    std::vector<bool> wanted_;  // by entry index
    size_t budget_;
    size_t next_ = 0;  // in entries_: the next one to hand out
    std::deque<std::shared_ptr<Job>> waiting_;
    size_t waitingBytes_ = 0;

    std::mutex mutex_;
    std::condition_variable done_;
    size_t running_ = 0;
    const Job* awaited_ = nullptr;  // the one whose end wakes the taker (under mutex_)
    bool cancelled_ = false;
};

}  // namespace vantrel::ziplib
