#include "effect/viewer_feed.h"

#include <system_error>
#include <utility>

#include "effect/parameters.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace orvalis::plugin {

namespace {

// How long the worker waits for a job before it looks at its stop flag.
constexpr std::chrono::milliseconds kWorkerWaitVisualization{16};
constexpr std::chrono::milliseconds kWorkerWaitCubeMap{100};
// One performance line per this many processed jobs of the process.
constexpr std::uint64_t kPerfLineEvery = 60;

}  // namespace

ViewerFeed::ViewerFeed(ProcessContext& context, Hooks hooks, BlockAttachment block, std::uint64_t historyCapacity,
                       std::chrono::milliseconds watchPeriod)
    : context_(context),
      hooks_(std::move(hooks)),
      instanceNumber_(context.takeInstanceNumber()),
      processId_(platform::currentProcessId()),
      block_(std::move(block)),
      mirror_(block_.view(), processId_),
      history_(historyCapacity),
      pointSize_(static_cast<float>(kPointSize.defaultValue)),
      worker_(
          jobs_,
          [this] {
              return !hooks_.visualizationMode || hooks_.visualizationMode() ? kWorkerWaitVisualization
                                                                             : kWorkerWaitCubeMap;
          },
          [this](RenderJob job) { processJob(std::move(job)); }),
      watcher_(ViewerLinkWatcher::Hooks{
                   [this] { return observe(); },
                   [this] { return hooks_.findWindow && hooks_.findWindow(); },
                   [this](std::string_view identity) { makeActive(identity); },
                   [this] { publish(); },
               },
               watchPeriod) {}

ViewerFeed::~ViewerFeed() { shutdown(); }

void ViewerFeed::start() {
    worker_.start();
    try {
        watcher_.start();
    } catch (...) {
        // No thread may outlive an object that never finished construction.
        worker_.stop();
        throw;
    }
}

void ViewerFeed::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    watcher_.stop();
    worker_.stop();
    releaseActive();
    {
        std::lock_guard lock(context_.launch.launchMutex);
        closeLaunchedViewerHandlesLocked(context_.launch);
        block_.detach();
    }
    jobs_.discardAll();
}

OwnerMirror* ViewerFeed::ownerMirror() noexcept { return block_.attached() ? &mirror_ : nullptr; }

void ViewerFeed::makeActive(std::string_view identity) {
    context_.registry.makeActive(instanceNumber_, identity, platform::steadyMilliseconds(), ownerMirror());
}

void ViewerFeed::releaseActive() { context_.registry.releaseActive(instanceNumber_, ownerMirror()); }

bool ViewerFeed::isActive() const { return context_.registry.isActive(instanceNumber_); }

void ViewerFeed::arbitrate(std::string_view identity) {
    context_.registry.arbitrate(instanceNumber_, identity, platform::steadyMilliseconds(), ownerMirror());
}

void ViewerFeed::queueRender(RenderJob job) {
    context_.lastRenderedInstance.store(instanceNumber_);
    if (isActive() || context_.lastRenderedInstance.load() == instanceNumber_) {
        jobs_.push(std::move(job));  // a stopping queue releases the image
    }
}

std::vector<exchange::PointRecord> ViewerFeed::currentRecords() const {
    std::lock_guard lock(recordsMutex_);
    if (!currentRecords_) {
        return {};
    }
    return std::vector<exchange::PointRecord>(currentRecords_->begin(), currentRecords_->end());
}

void ViewerFeed::processJob(RenderJob job) {
    const std::int64_t start = platform::steadyNanoseconds();
    std::optional<SampledCloud> cloud = hooks_.sample ? hooks_.sample(job) : std::nullopt;
    job.image.reset();
    if (cloud && cloud->points && !cloud->points->empty()) {
        {
            std::lock_guard lock(recordsMutex_);
            currentRecords_ = cloud->points;
        }
        pointSize_.store(cloud->pointSize);
        history_.append(cloud->points);
        publish();
    }
    const std::int64_t elapsedUs = (platform::steadyNanoseconds() - start) / 1000;
    if (context_.processedJobs.fetch_add(1) % kPerfLineEvery == 0) {
        context_.log.line(
            formatPerfLine(elapsedUs, systemStatusText(context_.cpuMeter, countRunningViewers(context_.launch))));
    }
}

void ViewerFeed::publish() {
    std::lock_guard lock(publishMutex_);
    const std::optional<exchange::BlockView> view = block_.view();
    if (view && !isOwner(*view, instanceNumber_, processId_)) {
        return;  // only the owner writes
    }
    const SharedPoints newest = history_.newest();
    if (!newest) {
        return;
    }
    const std::string folder = platform::tempFolder();
    std::lock_guard writer(context_.blockWriterMutex);  // publish mutex, then the writer lock
    publishCloud(view, instanceNumber_, processId_, *newest, pointSize_.load(), folder, context_.publishCounter);
}

WatchInputs ViewerFeed::observe() const {
    WatchInputs in;
    in.visualizationMode = !hooks_.visualizationMode || hooks_.visualizationMode();
    const std::optional<exchange::BlockView> view = block_.view();
    in.hasBlock = view.has_value();
    if (view) {
        in.viewerAttached = view->u32(exchange::offset::viewerAttached).load() == 1;
        in.ownsViewer = isOwner(*view, instanceNumber_, processId_);
        in.viewerOwned = view->u64(exchange::offset::ownerInstance).load() != 0;
    }
    in.renderedLast = context_.lastRenderedInstance.load() == instanceNumber_;
    return in;
}

}  // namespace orvalis::plugin
