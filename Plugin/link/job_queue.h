// The hand-over from render to the processing worker: queued source images
// with their render times.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace orvalis::plugin {

// An image handed from render to the worker. The deleter gives it back to
// whoever lent it (the host); a null image is allowed.
using JobImage = std::unique_ptr<void, void (*)(void*)>;

// A queued render: the source image, owned by the job until processed or
// discarded, and the time the parameters of its cloud are read at.
struct RenderJob {
    JobImage image{nullptr, nullptr};
    double time = 0.0;
};

// Render only appends and wakes one waiter; the worker takes the newest job.
class JobQueue {
public:
    JobQueue() = default;
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;
    ~JobQueue();  // discards what is left, releasing each image

    // Appends the job and wakes one waiter. Once the queue is stopping the
    // job is dropped (its image released) and false returned.
    bool push(RenderJob job);

    // Waits up to `timeout` for a job or the stopping flag; then takes the
    // oldest job, if any.
    std::optional<RenderJob> waitAndTakeOldest(std::chrono::milliseconds timeout);

    // Takes the oldest job without waiting.
    std::optional<RenderJob> tryTakeOldest();

    // Sets the stopping flag and wakes every waiter.
    void stop();
    bool stopping() const;

    // Releases the images of every queued job.
    void discardAll();

    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<RenderJob> jobs_;
    bool stopping_ = false;
};

}  // namespace orvalis::plugin
