// The two background threads of an effect instance and what they share:
// the job queue from render to the processing worker, the bounded history
// of results, and the viewer-link watcher. Plain classes that take
// callbacks, so they run and are tested without a host.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "Shared/exchange.h"
#include "effect/sampling.h"

namespace orvalis::plugin {

// An image handed from render to the worker. The deleter gives it back to
// whoever lent it (the host); a null image is allowed.
using JobImage = std::unique_ptr<void, void (*)(void*)>;

// A queued render: the source image, owned by the job until processed or
// discarded, and the render time.
struct RenderJob {
    JobImage image{nullptr, nullptr};
    double time = 0.0;
    double renderScaleX = 1.0;
    double renderScaleY = 1.0;
};

// Hand-over from render to the worker. Render only appends and wakes one
// waiter; the worker takes the newest job.
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

// The processing worker: takes the newest queued job, releases older ones
// unprocessed, and hands the newest to `process`.
class ProcessingWorker {
public:
    // How long to wait for a job before looking at the stop flag again.
    using WaitTime = std::function<std::chrono::milliseconds()>;
    // Processes one job; takes ownership of it (and its image).
    using Process = std::function<void(RenderJob)>;

    ProcessingWorker(JobQueue& queue, WaitTime waitTime, Process process);
    ProcessingWorker(const ProcessingWorker&) = delete;
    ProcessingWorker& operator=(const ProcessingWorker&) = delete;
    ~ProcessingWorker();  // stops and joins

    // Clears the stop flag and starts the thread; throws std::system_error
    // when the thread cannot be started.
    void start();
    // Sets the stop flag, stops the queue, wakes the thread and joins it. A
    // job being processed completes first.
    void stop();
    bool running() const noexcept { return thread_.joinable(); }

    // Number of jobs processed and jobs released unprocessed so far.
    std::uint64_t processedCount() const noexcept { return processed_.load(); }
    std::uint64_t discardedCount() const noexcept { return discarded_.load(); }

private:
    void run();

    JobQueue& queue_;
    WaitTime waitTime_;
    Process process_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> processed_{0};
    std::atomic<std::uint64_t> discarded_{0};
    std::thread thread_;
};

// A list of point records (the result of one sampled frame).
using PointList = PointRecordList;
// A finished cloud: never changed once made, so that the history, the
// current records and a publish share it instead of copying it.
using SharedPoints = std::shared_ptr<const PointList>;

// Bounded FIFO of recent results; the newest is what a publish writes.
class ResultHistory {
public:
    explicit ResultHistory(std::uint64_t capacity = 100);

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

// History length for a "frameRate" option index: five seconds' worth at 24,
// 25, 30, 50 or 60 per second (24 for any other index), at least 1.
std::uint64_t historyCapacityForRateIndex(int optionIndex);

// What the watcher sees in one cycle.
struct WatchInputs {
    bool visualizationMode = true;  // "pluginMode" is 0 or missing
    bool hasBlock = false;          // the instance has the shared block mapped
    bool viewerAttached = false;    // the block's viewerAttached is exactly 1
    bool windowFound = false;       // a viewer window of the searched class exists
    bool renderedLast = false;      // lastRenderedInstance is this instance
    bool ownsViewer = false;        // the block names this instance (of this process) as owner
    bool viewerOwned = false;       // the block names any owner
};

enum class WatchAction { None, ClaimClipSwitch, ClaimAutoConnect };

// Identities the watcher claims with.
inline constexpr std::string_view kClipSwitchIdentity = "timeline-clip-switch";
inline constexpr std::string_view kAutoConnectIdentity = "auto-connect";

// The watcher's decision for one cycle.
WatchAction decideWatch(const WatchInputs& in);

// The viewer-link watcher: every period, while a viewer is attached, lets
// the instance that rendered last take the viewer over and publish.
class ViewerLinkWatcher {
public:
    struct Hooks {
        // Everything but the window lookup; called once per cycle.
        std::function<WatchInputs()> observe;
        // The window lookup, asked only when a viewer is attached.
        std::function<bool()> findWindow;
        // Takes the viewer with the given identity.
        std::function<void(std::string_view)> makeActive;
        std::function<void()> publish;
    };

    explicit ViewerLinkWatcher(Hooks hooks, std::chrono::milliseconds period = std::chrono::milliseconds(30));
    ViewerLinkWatcher(const ViewerLinkWatcher&) = delete;
    ViewerLinkWatcher& operator=(const ViewerLinkWatcher&) = delete;
    ~ViewerLinkWatcher();  // stops and joins

    // Clears the stop flag and starts the thread; throws std::system_error.
    void start();
    // Sets the stop flag, wakes the pause and joins.
    void stop();
    bool running() const noexcept { return thread_.joinable(); }

    // One cycle without the pause; returns what it did.
    WatchAction cycle();

private:
    void run();

    Hooks hooks_;
    std::chrono::milliseconds period_;
    std::atomic<bool> stop_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;
    std::thread thread_;
};

}  // namespace orvalis::plugin
