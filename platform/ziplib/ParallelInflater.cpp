#include "platform/ziplib/ParallelInflater.h"

#include <algorithm>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

// What an entry waiting to be taken holds: its data, or, once checked and dropped, next to
// nothing (the weight then only bounds how far ahead the workers go).
size_t Weight(const RawEntry& entry, bool keepData) {
    return keepData ? static_cast<size_t>(entry.size + entry.compressedSize) + 1 : 4096;
}

}  // namespace

ParallelInflater::ParallelInflater(int fd, WorkerPool& pool, std::vector<RawEntry> entries,
                                   bool keepData, size_t bytesPerWorker)
    : fd_(fd),
      keepData_(keepData),
      pool_(pool),
      entries_(std::move(entries)),
      budget_(bytesPerWorker * std::max(1u, pool.Size())) {
    for (const auto& entry : entries_) {
        if (entry.index >= wanted_.size()) {
            wanted_.resize(entry.index + 1);
        }
        wanted_[entry.index] = true;
    }
}

ParallelInflater::~ParallelInflater() {
    pool_.Wake();  // entries handed out and not yet begun still end
    std::unique_lock lock(mutex_);
    cancelled_ = true;
    done_.wait(lock, [this] { return running_ == 0; });
}

bool ParallelInflater::Has(uint64_t index) const {
    return index < wanted_.size() && wanted_[index];
}

void ParallelInflater::HandOut() {
    while (next_ < entries_.size()) {
        const RawEntry& entry = entries_[next_];
        if (waitingBytes_ > 0 && waitingBytes_ + Weight(entry, keepData_) > budget_) {
            return;
        }
        auto job = std::make_shared<Job>();
        job->entry = entry;
        waiting_.push_back(job);
        waitingBytes_ += Weight(entry, keepData_);
        ++next_;
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        pool_.Submit([this, job] {
            bool cancelled;
            {
                std::lock_guard lock(mutex_);
                cancelled = cancelled_;
            }
            thread_local ByteBuffer checked;  // a test's data, dropped once checked
            int32_t code = cancelled
                               ? LSZIP_E_ABORTED
                               : InflateWhole(fd_, job->entry, keepData_ ? job->out : checked);
            std::lock_guard lock(mutex_);
            job->code = code;
            job->done = true;
            --running_;
            if (job.get() == awaited_ || cancelled_) {
                done_.notify_all();
            }
        });
    }
}

void ParallelInflater::AwaitDone(const std::shared_ptr<Job>& job) {
    std::unique_lock lock(mutex_);
    if (job->done) {
        return;
    }
    lock.unlock();
    pool_.Wake();  // the entry may still wait for a worker asleep
    lock.lock();
    // Asleep anyway: until a few later entries are done too, which then need no wake-up.
    const std::shared_ptr<Job>& later =
        waiting_.empty() ? job : waiting_[std::min(waiting_.size(), kWakeBatch) - 1];
    while (!job->done || !later->done) {
        awaited_ = !job->done ? job.get() : later.get();
        done_.wait(lock);
    }
    awaited_ = nullptr;
}

int32_t ParallelInflater::Take(uint64_t index, ByteBuffer& data) {
    HandOut();
    while (!waiting_.empty()) {
        std::shared_ptr<Job> job = waiting_.front();
        waiting_.pop_front();
        waitingBytes_ -= Weight(job->entry, keepData_);
        HandOut();
        if (job->entry.index != index) {
            continue;  // passed over by the caller
        }
        AwaitDone(job);
        data = std::move(job->out);
        return job->code;
    }
    return LSZIP_E_ARGUMENT;
}

}  // namespace vantrel::ziplib
