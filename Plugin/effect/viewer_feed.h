// An instance's side of the viewer link without the OFX layer: its hold on
// the block, its claims in the registry, its job queue, worker, history and
// watcher, and publishing. The effect instance hands it host work through
// hooks, so that it runs and is tested without a host.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "effect/process_context.h"
#include "link/exchange_writer.h"
#include "link/job_queue.h"
#include "link/processing_worker.h"
#include "link/result_history.h"
#include "link/viewer_link_watcher.h"

namespace orvalis::plugin {

// What the worker made of one job: the cloud and the point size read at the
// job's render time.
struct SampledCloud {
    SharedPoints points;
    float pointSize = 0.0f;
};

class ViewerFeed {
public:
    struct Hooks {
        // "pluginMode" is 3D visualization now; null means always.
        std::function<bool()> visualizationMode;
        // A viewer window exists; null means never.
        std::function<bool()> findWindow;
        // Samples a job's image with the parameters at its render time; no
        // value when the image gives no points.
        std::function<std::optional<SampledCloud>(const RenderJob&)> sample;
    };

    // Takes a process-unique number from the context; `block` may be
    // unattached (files only). Threads start with start().
    ViewerFeed(ProcessContext& context, Hooks hooks, BlockAttachment block, std::uint64_t historyCapacity,
               std::chrono::milliseconds watchPeriod = std::chrono::milliseconds(30));
    ViewerFeed(const ViewerFeed&) = delete;
    ViewerFeed& operator=(const ViewerFeed&) = delete;
    ~ViewerFeed();  // shutdown()

    // Starts the worker and the watcher; throws std::system_error with
    // neither left running.
    void start();
    // Stops the watcher and the worker, then gives up the active role (so
    // that a watcher cycle cannot take the viewer back for a dying
    // instance), closes the launched viewers' handles and detaches. Once.
    void shutdown();

    std::uint64_t instanceNumber() const noexcept { return instanceNumber_; }
    bool hasBlock() const noexcept { return block_.attached(); }

    void makeActive(std::string_view identity);
    void releaseActive();
    bool isActive() const;

    // Render's claim for a frame of the source `identity`.
    void arbitrate(std::string_view identity);
    // Notes this instance as rendered last and queues the job when it is
    // active or still rendered last (render never waits for the worker).
    void queueRender(RenderJob job);

    void setHistoryCapacity(std::uint64_t capacity) { history_.setCapacity(capacity); }
    // A copy of the newest cloud (the launch snapshot); empty before one.
    std::vector<exchange::PointRecord> currentRecords() const;

    // Writes the newest cloud to the block (when this instance owns it) and
    // to the points files.
    void publish();
    // One look at the block for the watcher.
    WatchInputs observe() const;

private:
    void processJob(RenderJob job);
    OwnerMirror* ownerMirror() noexcept;

    ProcessContext& context_;
    Hooks hooks_;
    std::uint64_t instanceNumber_;
    std::uint32_t processId_;
    BlockAttachment block_;
    BlockOwnerMirror mirror_;

    ResultHistory history_;
    mutable std::mutex recordsMutex_;
    SharedPoints currentRecords_;   // the latest complete result; null before the first
    std::atomic<float> pointSize_;  // read with the newest cloud
    std::mutex publishMutex_;

    bool shutDown_ = false;  // the owner's thread only

    JobQueue jobs_;
    ProcessingWorker worker_;
    ViewerLinkWatcher watcher_;
};

}  // namespace orvalis::plugin
