#include "link/job_queue.h"

#include <utility>

namespace orvalis::plugin {

JobQueue::~JobQueue() { discardAll(); }

bool JobQueue::push(RenderJob job) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            jobs_.push_back(std::move(job));
            wake_.notify_one();
            return true;
        }
    }
    // Dropped: the image goes back outside the lock.
    job.image.reset();
    return false;
}

std::optional<RenderJob> JobQueue::waitAndTakeOldest(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, timeout, [this] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) {
        return std::nullopt;
    }
    RenderJob job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
}

std::optional<RenderJob> JobQueue::tryTakeOldest() {
    std::lock_guard lock(mutex_);
    if (jobs_.empty()) {
        return std::nullopt;
    }
    RenderJob job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
}

void JobQueue::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
}

bool JobQueue::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void JobQueue::discardAll() {
    std::deque<RenderJob> left;
    {
        std::lock_guard lock(mutex_);
        left.swap(jobs_);
    }
    left.clear();  // releases the images outside the lock
}

std::size_t JobQueue::size() const {
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

}  // namespace orvalis::plugin
