// The processing worker: takes the newest queued job, releases older ones
// unprocessed, and hands the newest to a callback, so that it runs and is
// tested without a host.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "link/job_queue.h"
#include "link/worker_thread.h"

namespace orvalis::plugin {

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

    // Starts the thread; throws std::system_error when it cannot start.
    void start();
    // Stops the queue, wakes the thread and joins it. A job being processed
    // completes first.
    void stop();
    bool running() const noexcept { return thread_.running(); }

    // Number of jobs processed and jobs released unprocessed so far.
    std::uint64_t processedCount() const noexcept { return processed_.load(); }
    std::uint64_t discardedCount() const noexcept { return discarded_.load(); }

private:
    void run();

    JobQueue& queue_;
    WaitTime waitTime_;
    Process process_;
    std::atomic<std::uint64_t> processed_{0};
    std::atomic<std::uint64_t> discarded_{0};
    WorkerThread thread_;  // last: stopped before the members it reads go
};

}  // namespace orvalis::plugin
