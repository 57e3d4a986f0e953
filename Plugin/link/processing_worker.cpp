#include "link/processing_worker.h"

#include <utility>

namespace orvalis::plugin {

ProcessingWorker::ProcessingWorker(JobQueue& queue, WaitTime waitTime, Process process)
    : queue_(queue), waitTime_(std::move(waitTime)), process_(std::move(process)) {}

ProcessingWorker::~ProcessingWorker() { stop(); }

void ProcessingWorker::start() {
    thread_.start([this] { run(); });
}

void ProcessingWorker::stop() {
    thread_.stop([this] { queue_.stop(); });
}

void ProcessingWorker::run() {
    while (!thread_.stopRequested()) {
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
        if (thread_.stopRequested()) {
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

}  // namespace orvalis::plugin
