#include "platform/ziplib/ParallelInflater.h"

#include <algorithm>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

size_t Weight(const RawEntry& entry) {
    return static_cast<size_t>(entry.size + entry.compressedSize) + 1;
}

}  // namespace

ParallelInflater::ParallelInflater(int fd, WorkerPool& pool, std::vector<RawEntry> entries,
                                   size_t bytesPerWorker)
    : fd_(fd),
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
        if (waitingBytes_ > 0 && waitingBytes_ + Weight(entry) > budget_) {
            return;
        }
        auto job = std::make_shared<Job>();
        job->entry = entry;
        waiting_.push_back(job);
        waitingBytes_ += Weight(entry);
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
            int32_t code = cancelled ? LSZIP_E_ABORTED : InflateWhole(fd_, job->entry, job->out);
            std::lock_guard lock(mutex_);
            job->code = code;
            job->done = true;
            --running_;
            done_.notify_all();
        });
    }
}

int32_t ParallelInflater::Take(uint64_t index, std::vector<uint8_t>& data) {
    HandOut();
    while (!waiting_.empty()) {
        std::shared_ptr<Job> job = waiting_.front();
        waiting_.pop_front();
        waitingBytes_ -= Weight(job->entry);
        HandOut();
        if (job->entry.index != index) {
            continue;  // passed over by the caller
        }
        {
            std::unique_lock lock(mutex_);
            done_.wait(lock, [&] { return job->done; });
        }
        data = std::move(job->out);
        return job->code;
    }
    return LSZIP_E_ARGUMENT;
}

}  // namespace vantrel::ziplib
