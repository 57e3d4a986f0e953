#include "link/sync_worker.h"

#include <utility>

namespace orvalis::plugin {

// ---- JobQueue ----

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

// ---- ProcessingWorker ----

ProcessingWorker::ProcessingWorker(JobQueue& queue, WaitTime waitTime, Process process)
    : queue_(queue), waitTime_(std::move(waitTime)), process_(std::move(process)) {}

ProcessingWorker::~ProcessingWorker() { stop(); }

void ProcessingWorker::start() {
    if (thread_.joinable()) {
        return;
    }
    stop_.store(false);
    thread_ = std::thread([this] { run(); });
}

void ProcessingWorker::stop() {
    if (!thread_.joinable()) {
        return;
    }
    stop_.store(true);
    queue_.stop();
    thread_.join();
}

void ProcessingWorker::run() {
    while (!stop_.load()) {
        std::chrono::milliseconds wait{16};
        try {
            if (waitTime_) {
                wait = waitTime_();
            }
        } catch (...) {
        }
        std::optional<RenderJob> job = queue_.waitAndTakeOldest(wait);
        if (!job) {
            if (queue_.stopping()) {
                return;
            }
            continue;
        }
        if (stop_.load()) {
            job->image.reset();
            discarded_.fetch_add(1);
            return;
        }
        // Newest wins: every older job is released unprocessed.
        while (std::optional<RenderJob> next = queue_.tryTakeOldest()) {
            job->image.reset();
            discarded_.fetch_add(1);
            job = std::move(next);
        }
        try {
            if (process_) {
                process_(std::move(*job));
            }
        } catch (...) {
            // Nothing crosses the thread boundary; the job's image is gone
            // with the moved-from job either way.
        }
        processed_.fetch_add(1);
    }
}

// ---- ResultHistory ----

ResultHistory::ResultHistory(std::uint64_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

void ResultHistory::setCapacity(std::uint64_t capacity) {
    std::lock_guard lock(mutex_);
    capacity_ = capacity < 1 ? 1 : capacity;
    while (entries_.size() > capacity_) {
        entries_.pop_front();
    }
}

std::uint64_t ResultHistory::capacity() const {
    std::lock_guard lock(mutex_);
    return capacity_;
}

void ResultHistory::append(PointList points) {
    append(std::make_shared<const PointList>(std::move(points)));
}

void ResultHistory::append(SharedPoints points) {
    if (!points) {
        return;
    }
    SharedPoints dropped;  // freed after the lock is let go
    {
        std::lock_guard lock(mutex_);
        while (!entries_.empty() && entries_.size() >= capacity_) {
            dropped = std::move(entries_.front());
            entries_.pop_front();
        }
        entries_.push_back(std::move(points));
    }
}

SharedPoints ResultHistory::newest() const {
    std::lock_guard lock(mutex_);
    return entries_.empty() ? nullptr : entries_.back();
}

std::size_t ResultHistory::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::uint64_t historyCapacityForRateIndex(int optionIndex) {
    static constexpr int kRates[] = {24, 25, 30, 50, 60};
    const int rate = (optionIndex >= 0 && optionIndex < 5) ? kRates[optionIndex] : 24;
    const auto capacity = static_cast<std::uint64_t>(rate * 5.0);
    return capacity == 0 ? 1 : capacity;
}

// ---- watcher ----

WatchAction decideWatch(const WatchInputs& in) {
    if (!in.visualizationMode || !in.hasBlock) {
        return WatchAction::None;
    }
    if (!in.viewerAttached || !in.windowFound) {
        return WatchAction::None;
    }
    if (in.renderedLast) {
        return in.ownsViewer ? WatchAction::None : WatchAction::ClaimClipSwitch;
    }
    return in.viewerOwned ? WatchAction::None : WatchAction::ClaimAutoConnect;
}

ViewerLinkWatcher::ViewerLinkWatcher(Hooks hooks, std::chrono::milliseconds period)
    : hooks_(std::move(hooks)), period_(period) {}

ViewerLinkWatcher::~ViewerLinkWatcher() { stop(); }

void ViewerLinkWatcher::start() {
    if (thread_.joinable()) {
        return;
    }
    stop_.store(false);
    thread_ = std::thread([this] { run(); });
}

void ViewerLinkWatcher::stop() {
    if (!thread_.joinable()) {
        return;
    }
    stop_.store(true);
    {
        std::lock_guard lock(pauseMutex_);
        pauseWake_.notify_all();
    }
    thread_.join();
}

WatchAction ViewerLinkWatcher::cycle() {
    WatchInputs in = hooks_.observe ? hooks_.observe() : WatchInputs{};
    // The window lookup costs a round trip to the display: only when it
    // could matter.
    if (in.visualizationMode && in.hasBlock && in.viewerAttached && hooks_.findWindow) {
        in.windowFound = hooks_.findWindow();
    }
    const WatchAction action = decideWatch(in);
    if (action == WatchAction::None) {
        return action;
    }
    if (hooks_.makeActive) {
        hooks_.makeActive(action == WatchAction::ClaimClipSwitch ? kClipSwitchIdentity
                                                                 : kAutoConnectIdentity);
    }
    if (hooks_.publish) {
        hooks_.publish();
    }
    return action;
}

void ViewerLinkWatcher::run() {
    while (!stop_.load()) {
        try {
            cycle();
        } catch (...) {
            // A failed cycle is tried again on the next one.
        }
        const auto until = std::chrono::steady_clock::now() + period_;
        std::unique_lock lock(pauseMutex_);
        pauseWake_.wait_until(lock, until, [this] { return stop_.load(); });
    }
}

}  // namespace orvalis::plugin
