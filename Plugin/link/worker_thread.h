// The start and stop of an instance's background threads: one thread, one
// stop flag, and a wake that the owner supplies so that a waiting thread
// sees the flag at once.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace orvalis::plugin {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // The owner stops the thread before its own members go; this is the
    // last line of defence, never a detach.
    ~WorkerThread() { stop({}); }

    // Clears the stop flag and runs `body` on a new thread; nothing when
    // already running. Throws std::system_error when no thread can start.
    void start(std::function<void()> body) {
        if (thread_.joinable()) {
            return;
        }
        stop_.store(false);
        thread_ = std::thread(std::move(body));
    }

    // Sets the stop flag, calls `wake` and joins.
    void stop(const std::function<void()>& wake) {
        if (!thread_.joinable()) {
            return;
        }
        stop_.store(true);
        if (wake) {
            wake();
        }
        thread_.join();
    }

    bool stopRequested() const noexcept { return stop_.load(); }
    bool running() const noexcept { return thread_.joinable(); }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace orvalis::plugin
