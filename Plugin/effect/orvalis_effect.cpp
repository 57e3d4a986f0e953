#include "effect/orvalis_effect.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "diagnostics/log.h"
#include "diagnostics/system_text.h"
#include "effect/cube_map.h"
#include "effect/pixel_copy.h"
#include "link/launcher.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/dialog.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace orvalis::plugin {

namespace {

// How long the worker waits for a job before it looks at its stop flag.
constexpr std::chrono::milliseconds kWorkerWaitVisualization{16};
constexpr std::chrono::milliseconds kWorkerWaitCubeMap{100};
// One performance line per this many processed jobs of the process.
constexpr std::uint64_t kPerfLineEvery = 60;

PixelDepth toPixelDepth(OFX::BitDepthEnum depth) {
    switch (depth) {
    case OFX::eBitDepthUByte: return PixelDepth::UByte;
    case OFX::eBitDepthUShort: return PixelDepth::UShort;
    case OFX::eBitDepthFloat: return PixelDepth::Float;
    default: return PixelDepth::Other;
    }
}

// The image's pixels as a plain view; without data when the image is not
// RGBA, so that nothing reads it with the wrong stride.
PixelView readView(const OFX::Image& image) {
    PixelView v;
    if (image.getPixelComponents() != OFX::ePixelComponentRGBA) {
        return v;
    }
    const OfxRectI b = image.getBounds();
    v.data = image.getPixelData();
    v.x1 = b.x1;
    v.y1 = b.y1;
    v.x2 = b.x2;
    v.y2 = b.y2;
    v.rowBytes = image.getRowBytes();
    v.depth = toPixelDepth(image.getPixelDepth());
    return v;
}

MutablePixelView writeView(const OFX::Image& image) {
    const PixelView r = readView(image);
    return MutablePixelView{const_cast<void*>(r.data), r.x1, r.y1, r.x2, r.y2, r.rowBytes, r.depth};
}

JobImage ownJobImage(std::unique_ptr<OFX::Image> image) {
    return JobImage(image.release(), [](void* p) { delete static_cast<OFX::Image*>(p); });
}

// One writer of the block per process. Each instance's publish mutex keeps
// its own publishes apart, but the owner can change between another
// instance's ownership test and its write; without this lock the old and the
// new owner could fill the same inactive buffer at once and a reader would
// take the mix under one sequence number.
std::mutex& blockWriterMutex() {
    static std::mutex mutex;
    return mutex;
}

std::atomic<std::uint64_t>& processJobCounter() {
    static std::atomic<std::uint64_t> counter{0};
    return counter;
}

}  // namespace

// ---- owner mirror ----

void BlockOwnerMirror::setOwner(std::uint64_t instance) {
    if (view_) {
        plugin::setOwner(*view_, instance, processId_);
    }
}

void BlockOwnerMirror::clearOwnerIf(std::uint64_t instance) {
    if (view_) {
        plugin::clearOwnerIf(*view_, instance, processId_);
    }
}

// ---- launch messages ----

// Windows shows a message box; elsewhere the host's message suite tells the
// user, and stderr when the host has none.
class Orvalis::LaunchNotifier : public Notifier {
public:
    explicit LaunchNotifier(Orvalis& effect) : effect_(effect) {}
    void show(std::string_view text, std::string_view title, platform::MessageIcon icon) override {
        effect_.notify(text, title, icon);
    }

private:
    Orvalis& effect_;
};

void Orvalis::notify(std::string_view text, std::string_view title, platform::MessageIcon icon) {
    if (platform::showMessageBox(text, title, icon)) {
        return;
    }
    const OFX::MessageTypeEnum type =
        icon == platform::MessageIcon::Error ? OFX::eMessageError : OFX::eMessageMessage;
    if (sendMessage(type, std::string(title), std::string(text)) == kOfxStatOK) {
        return;
    }
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(text.size()), text.data());
}

// ---- construction and destruction ----

Orvalis::Orvalis(OfxImageEffectHandle handle) : OFX::ImageEffect(handle) {
    instanceNumber_ = takeInstanceNumber();
    processId_ = platform::currentProcessId();

    SetupOVLogging();
    logLine("Orvalis: Instance created.");

    block_ = attachBlock();
    mirror_ = std::make_unique<BlockOwnerMirror>(block_.view(), processId_);

    resultHistory_.setCapacity(100);

    srcClip_ = fetchClip(kSourceClip);
    dstClip_ = fetchClip(kOutputClip);

    pointSize_ = fetchDoubleParam(kParamPointSize);
    downsample_ = fetchChoiceParam(kParamDownsample);
    cropToCubeMap_ = fetchBooleanParam(kParamCrop);
    frameRate_ = fetchChoiceParam(kParamFrameRate);
    open3DViewer_ = fetchPushButtonParam(kParamOpenViewer);
    pluginMode_ = fetchChoiceParam(kParamPluginMode);
    cubeMapSize_ = fetchIntParam(kParamCubeMapSize);
    mainParameters_ = fetchGroupParam(kParamMainGroup);

    applyFrameRate();
    // "Points Size" and "Downsample" keep what the host restored: their
    // defaults already give a new instance 4.0 and "50%".
    updateDownsampleEnabled(currentMode());
    applyModeVisibility();

    worker_ = std::make_unique<ProcessingWorker>(
        jobs_,
        [this] { return currentMode() == kModeVisualization ? kWorkerWaitVisualization : kWorkerWaitCubeMap; },
        [this](RenderJob job) { processJob(std::move(job)); });
    watcher_ = std::make_unique<ViewerLinkWatcher>(ViewerLinkWatcher::Hooks{
        [this] { return observeLink(); },
        [] { return findViewerWindow().has_value(); },
        [this](std::string_view identity) { makeActive(identity); },
        [this] { publish(); },
    });

    worker_->start();
    try {
        watcher_->start();
    } catch (...) {
        // No thread may outlive an object that never finished construction.
        worker_->stop();
        throw;
    }
}

Orvalis::~Orvalis() {
    releaseActive();
    if (worker_) {
        worker_->stop();
    }
    if (watcher_) {
        watcher_->stop();
    }
    {
        std::lock_guard lock(launchMutex);
        closeLaunchedViewerHandlesLocked();
        block_.detach();
        logLine("Orvalis: Instance destroyed.");
    }
    jobs_.discardAll();
}

// ---- registry ----

OwnerMirror* Orvalis::ownerMirror() noexcept { return block_.attached() ? mirror_.get() : nullptr; }

void Orvalis::makeActive(std::string_view identity) {
    activeRegistry().makeActive(instanceNumber_, identity, platform::steadyMilliseconds(), ownerMirror());
}

void Orvalis::releaseActive() { activeRegistry().releaseActive(instanceNumber_, ownerMirror()); }

bool Orvalis::isActive() const { return activeRegistry().isActive(instanceNumber_); }

// ---- parameters ----

int Orvalis::currentMode() const { return pluginMode_ ? pluginMode_->getValue() : kModeVisualization; }

void Orvalis::applyModeVisibility() {
    const int mode = currentMode();
    if (mainParameters_) {
        mainParameters_->setIsSecret(mode != kModeVisualization);
    }
    if (cubeMapSize_) {
        cubeMapSize_->setIsSecret(mode != kModeCubeMap);
    }
}

void Orvalis::updateDownsampleEnabled(int mode) {
    if (!downsample_) {
        return;
    }
    const bool crop = cropToCubeMap_ ? cropToCubeMap_->getValue() : false;
    downsample_->setEnabled(!crop && mode == kModeVisualization);
}

void Orvalis::applyFrameRate() {
    resultHistory_.setCapacity(historyCapacityForRateIndex(frameRate_ ? frameRate_->getValue() : 0));
}

void Orvalis::syncPrivateData() {
    if (currentMode() != kModeVisualization) {
        return;
    }
    if (block_.attached()) {
        makeActive(kIdentitySync);
    }
}

void Orvalis::changedParam(const OFX::InstanceChangedArgs& /*args*/, const std::string& paramName) {
    const int mode = currentMode();
    if (mode == kModeVisualization) {
        makeActive(kIdentityParamChange);
    }

    if (paramName == kParamCrop) {
        updateDownsampleEnabled(mode);
    } else if (paramName == kParamPluginMode) {
        if (mode == kModeCubeMap) {
            releaseActive();
        } else if (mode == kModeVisualization) {
            makeActive(kIdentitySwitchMode);
        }
        applyModeVisibility();
        // Back in 3D visualization mode "Downsample" must be usable again.
        updateDownsampleEnabled(mode);
    } else if (paramName == kParamOpenViewer) {
        LaunchNotifier notifier(*this);
        openViewer(
            [this] {
                std::lock_guard lock(recordsMutex_);
                if (!currentRecords_) {
                    return std::vector<exchange::PointRecord>{};
                }
                return std::vector<exchange::PointRecord>(currentRecords_->begin(), currentRecords_->end());
            },
            notifier);
    } else if (paramName == kParamFrameRate) {
        applyFrameRate();
    }
}

// ---- render ----

void Orvalis::render(const OFX::RenderArguments& args) {
    if (dstClip_ == nullptr || dstClip_->getPixelComponents() != OFX::ePixelComponentRGBA) {
        OFX::throwSuiteStatusException(kOfxStatErrFormat);
    }
    const int mode = pluginMode_ ? pluginMode_->getValueAtTime(args.time) : kModeVisualization;
    if (mode == kModeCubeMap) {
        renderCubeMap(args);
    } else {
        renderVisualization(args);
    }
}

void Orvalis::renderCubeMap(const OFX::RenderArguments& args) {
    OFX::BitDepthEnum depth = OFX::eBitDepthNone;
    {
        std::unique_ptr<OFX::Image> probe(dstClip_->fetchImage(args.time));
        if (!probe) {
            return;
        }
        depth = probe->getPixelDepth();
    }
    if (depth != OFX::eBitDepthUByte && depth != OFX::eBitDepthUShort && depth != OFX::eBitDepthFloat) {
        OFX::throwSuiteStatusException(kOfxStatErrUnsupported);
    }

    std::unique_ptr<OFX::Image> dst(dstClip_->fetchImage(args.time));
    if (!dst) {
        OFX::throwSuiteStatusException(kOfxStatFailed);
    }
    if (dst->getPixelDepth() != depth || dst->getPixelComponents() != OFX::ePixelComponentRGBA) {
        OFX::throwSuiteStatusException(kOfxStatErrFormat);
    }

    int steps = 30;
    if (cubeMapSize_) {
        steps = cubeMapSize_->getValueAtTime(args.time);
    }

    std::unique_ptr<OFX::Image> src;
    if (srcClip_ && srcClip_->isConnected()) {
        src.reset(srcClip_->fetchImage(args.time));
    }
    PixelView srcView;
    if (src) {
        srcView = readView(*src);
    }

    const MutablePixelView out = writeView(*dst);
    const RenderWindow window{args.renderWindow.x1, args.renderWindow.y1, args.renderWindow.x2,
                              args.renderWindow.y2};
    plugin::renderCubeMap(out, src ? &srcView : nullptr, window, steps, [this] { return abort(); });
    // Source first, then output (reverse order of the unique_ptrs).
    src.reset();
    dst.reset();
}

void Orvalis::renderVisualization(const OFX::RenderArguments& args) {
    const double scale = std::min(args.renderScale.x, args.renderScale.y);
    std::unique_ptr<OFX::Image> src;
    if (srcClip_) {
        src.reset(srcClip_->fetchImage(args.time));
    }
    std::unique_ptr<OFX::Image> dst(dstClip_->fetchImage(args.time));
    if (!src || !dst) {
        return;
    }
    if (scale < 0.5) {
        // A reduced-resolution preview: shown, but not sampled.
        copyPixels(readView(*src), writeView(*dst));
        return;
    }

    std::string identity = src->getUniqueIdentifier();
    if (identity.empty()) {
        identity = "sender:" + std::to_string(instanceNumber_);
    }
    activeRegistry().arbitrate(instanceNumber_, identity, platform::steadyMilliseconds(), ownerMirror());

    copyPixels(readView(*src), writeView(*dst));

    lastRenderedInstance().store(instanceNumber_);
    if (isActive() || lastRenderedInstance().load() == instanceNumber_) {
        RenderJob job;
        job.image = ownJobImage(std::move(src));
        job.time = args.time;
        jobs_.push(std::move(job));  // a stopping queue releases the image
    }
}

// ---- worker side ----

void Orvalis::processJob(RenderJob job) {
    const std::int64_t start = platform::steadyNanoseconds();
    const auto* image = static_cast<const OFX::Image*>(job.image.get());
    if (image == nullptr) {
        return;
    }
    const bool crop = cropToCubeMap_ ? cropToCubeMap_->getValue() : false;
    const int downsample = downsample_ ? downsample_->getValue() : -1;  // -1: the default cap
    const PixelView view = readView(*image);

    auto records = std::make_shared<const PointList>(samplePoints(view, crop, downsample));
    if (isUsable(view) && !records->empty()) {
        {
            std::lock_guard lock(recordsMutex_);
            currentRecords_ = records;
        }
        resultHistory_.append(records);
        publish();
    }

    const std::int64_t elapsedUs = (platform::steadyNanoseconds() - start) / 1000;
    if (processJobCounter().fetch_add(1) % kPerfLineEvery == 0) {
        logLine(formatPerfLine(elapsedUs, systemStatusText()));
    }
    job.image.reset();
}

void Orvalis::publish() {
    std::lock_guard lock(publishMutex_);
    const std::optional<exchange::BlockView> view = block_.view();
    if (view && !isOwner(*view, instanceNumber_, processId_)) {
        return;  // only the owner writes
    }
    const SharedPoints newest = resultHistory_.newest();
    if (!newest) {
        return;
    }
    const float pointSize = pointSize_ ? static_cast<float>(pointSize_->getValue()) : 4.0f;
    const std::string folder = platform::tempFolder();
    std::lock_guard writer(blockWriterMutex());  // publish mutex, then the writer lock
    publishCloud(view, instanceNumber_, processId_, *newest, pointSize, folder);
}

WatchInputs Orvalis::observeLink() const {
    WatchInputs in;
    in.visualizationMode = currentMode() == kModeVisualization;
    const std::optional<exchange::BlockView> view = block_.view();
    in.hasBlock = view.has_value();
    if (view) {
        in.viewerAttached = view->u32(exchange::offset::viewerAttached).load() == 1;
        in.ownsViewer = isOwner(*view, instanceNumber_, processId_);
        in.viewerOwned = view->u64(exchange::offset::ownerInstance).load() != 0;
    }
    in.renderedLast = lastRenderedInstance().load() == instanceNumber_;
    return in;
}

}  // namespace orvalis::plugin
