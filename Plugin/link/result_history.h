// The bounded history of an instance's sampled clouds; the newest is what a
// publish writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "Shared/point_list.h"

namespace orvalis::plugin {

using PointList = PointRecordList;
// A finished cloud: never changed once made, so that the history, the
// current records and a publish share it instead of copying it.
using SharedPoints = std::shared_ptr<const PointList>;

// Bounded FIFO of recent results.
class ResultHistory {
public:
    explicit ResultHistory(std::uint64_t capacity);

    // Sets the capacity (at least 1) and drops the oldest entries beyond it.
    void setCapacity(std::uint64_t capacity);
    std::uint64_t capacity() const;

    // Appends a cloud, dropping the oldest entry when full.
    void append(SharedPoints points);
    void append(PointList points);

    // The newest entry; null when empty.
    SharedPoints newest() const;

    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::deque<SharedPoints> entries_;
    std::uint64_t capacity_;
};

}  // namespace orvalis::plugin
