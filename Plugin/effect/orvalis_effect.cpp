#include "effect/orvalis_effect.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "link/launcher.h"
#include "pixels/cube_map.h"
#include "pixels/pixel_copy.h"
#include "pixels/sampling.h"

namespace orvalis::plugin {

namespace {

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

}  // namespace

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
    const OFX::MessageTypeEnum type = icon == platform::MessageIcon::Error ? OFX::eMessageError : OFX::eMessageMessage;
    if (sendMessage(type, std::string(title), std::string(text)) == kOfxStatOK) {
        return;
    }
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
}

// ---- construction and destruction ----

Orvalis::Orvalis(OfxImageEffectHandle handle, ProcessContext& context) : OFX::ImageEffect(handle), context_(context) {
    context_.log.SetupOVLogging();
    context_.log.line("Orvalis: Instance created.");

    srcClip_ = fetchClip(kSourceClip);
    dstClip_ = fetchClip(kOutputClip);

    pointSize_ = fetchDoubleParam(kPointSize.name);
    downsample_ = fetchChoiceParam(kDownsample.name);
    cropToCubeMap_ = fetchBooleanParam(kCropToCubeMap.name);
    frameRate_ = fetchChoiceParam(kFrameRate.name);
    pluginMode_ = fetchChoiceParam(kPluginMode.name);
    cubeMapSize_ = fetchIntParam(kCubeMapSize.name);
    mainParameters_ = fetchGroupParam(kMainGroup.name);

    feed_ = std::make_unique<ViewerFeed>(context_,
                                         ViewerFeed::Hooks{
                                             [this] { return currentMode() == kModeVisualization; },
                                             [] { return findViewerWindow().has_value(); },
                                             [this](const RenderJob& job) { return sample(job); },
                                         },
                                         attachBlock(),
                                         historyCapacityForFrameRate(frameRate_ ? frameRate_->getValue() : 0));

    // "Points Size" and "Downsample" keep what the host restored: their
    // defaults already give a new instance 4.0 and "50%".
    updateDownsampleEnabled(currentMode());
    applyModeVisibility();
    feed_->start();
}

Orvalis::~Orvalis() {
    feed_->shutdown();
    context_.log.line("Orvalis: Instance destroyed.");
}

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
    feed_->setHistoryCapacity(historyCapacityForFrameRate(frameRate_ ? frameRate_->getValue() : 0));
}

void Orvalis::syncPrivateData() {
    if (currentMode() != kModeVisualization) {
        return;
    }
    if (feed_->hasBlock()) {
        feed_->makeActive(kIdentitySync);
    }
}

void Orvalis::changedParam(const OFX::InstanceChangedArgs& /*args*/, const std::string& paramName) {
    const int mode = currentMode();
    if (mode == kModeVisualization) {
        feed_->makeActive(kIdentityParamChange);
    }

    if (paramName == kCropToCubeMap.name) {
        updateDownsampleEnabled(mode);
    } else if (paramName == kPluginMode.name) {
        if (mode == kModeCubeMap) {
            feed_->releaseActive();
        } else if (mode == kModeVisualization) {
            feed_->makeActive(kIdentitySwitchMode);
        }
        applyModeVisibility();
        // Back in 3D visualization mode "Downsample" must be usable again.
        updateDownsampleEnabled(mode);
    } else if (paramName == kOpenViewer.name) {
        LaunchNotifier notifier(*this);
        openViewer(
            context_.launch, [this] { return feed_->currentRecords(); }, notifier);
    } else if (paramName == kFrameRate.name) {
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
    std::unique_ptr<OFX::Image> dst(dstClip_->fetchImage(args.time));
    if (!dst) {
        return;
    }
    const OFX::BitDepthEnum depth = dst->getPixelDepth();
    if (depth != OFX::eBitDepthUByte && depth != OFX::eBitDepthUShort && depth != OFX::eBitDepthFloat) {
        OFX::throwSuiteStatusException(kOfxStatErrUnsupported);
    }
    if (dst->getPixelComponents() != OFX::ePixelComponentRGBA) {
        OFX::throwSuiteStatusException(kOfxStatErrFormat);
    }
    const int steps =
        cubeMapSize_ ? cubeMapSize_->getValueAtTime(args.time) : static_cast<int>(kCubeMapSize.defaultValue);

    std::unique_ptr<OFX::Image> src;
    if (srcClip_ && srcClip_->isConnected()) {
        src.reset(srcClip_->fetchImage(args.time));
    }
    PixelView srcView;
    if (src) {
        srcView = readView(*src);
    }

    const MutablePixelView out = writeView(*dst);
    const RenderWindow window{args.renderWindow.x1, args.renderWindow.y1, args.renderWindow.x2, args.renderWindow.y2};
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
    // The pass-through does not convert: an output it cannot write is the
    // host's to hear about, never a success with the output left as it was.
    if (src->getPixelDepth() != dst->getPixelDepth() || src->getPixelComponents() != OFX::ePixelComponentRGBA) {
        OFX::throwSuiteStatusException(kOfxStatErrFormat);
    }
    if (scale < 0.5) {
        // A reduced-resolution preview: shown, but not sampled.
        copyPixels(readView(*src), writeView(*dst));
        return;
    }

    std::string identity = src->getUniqueIdentifier();
    if (identity.empty()) {
        identity = "sender:" + std::to_string(feed_->instanceNumber());
    }
    feed_->arbitrate(identity);

    copyPixels(readView(*src), writeView(*dst));

    RenderJob job;
    job.image = ownJobImage(std::move(src));
    job.time = args.time;
    feed_->queueRender(std::move(job));
}

// ---- worker side ----

std::optional<SampledCloud> Orvalis::sample(const RenderJob& job) const {
    const auto* image = static_cast<const OFX::Image*>(job.image.get());
    if (image == nullptr) {
        return std::nullopt;
    }
    const PixelView view = readView(*image);
    if (!isUsable(view)) {
        return std::nullopt;
    }
    // Every value the cloud carries is the one at the frame it came from.
    const bool crop = cropToCubeMap_ ? cropToCubeMap_->getValueAtTime(job.time) : false;
    const int downsample =
        downsample_ ? downsample_->getValueAtTime(job.time) : static_cast<int>(kDownsample.defaultValue);
    SampledCloud cloud;
    cloud.pointSize = pointSize_ ? static_cast<float>(pointSize_->getValueAtTime(job.time))
                                 : static_cast<float>(kPointSize.defaultValue);
    cloud.points = std::make_shared<const PointList>(samplePoints(view, crop, pointCapForDownsample(downsample)));
    return cloud;
}

}  // namespace orvalis::plugin
