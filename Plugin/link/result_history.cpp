#include "link/result_history.h"

#include <utility>

namespace orvalis::plugin {

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

void ResultHistory::append(PointList points) { append(std::make_shared<const PointList>(std::move(points))); }

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

}  // namespace orvalis::plugin
