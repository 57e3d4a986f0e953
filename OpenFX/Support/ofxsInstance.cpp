// Instance side: the effect instance, its clips and the images they give.
#include <cstddef>

#include "ofxsImageEffect.h"
#include "ofxsLog.h"
#include "ofxsSuites.h"

namespace OFX {

// ---- image ----

namespace {

OfxRectI rectProperty(const PropertySet& props, const char* name) {
    return OfxRectI{props.getInt(name, 0), props.getInt(name, 1), props.getInt(name, 2), props.getInt(name, 3)};
}

// Hosts may leave out the region of definition; the bounds stand in for it.
OfxRectI rectPropertyOr(const PropertySet& props, const char* name, OfxRectI fallback) {
    try {
        return rectProperty(props, name);
    } catch (const Exception::Suite&) {
        return fallback;
    }
}

void releaseImage(OfxPropertySetHandle handle) noexcept {
    try {
        const OfxStatus st = Private::need(Private::imageEffectSuite().clipReleaseImage)(handle);
        if (st != kOfxStatOK)
            Log::print("OFX: releasing an image failed: %s", mapStatusToString(st));
    } catch (const std::exception& e) {
        Log::print("OFX: releasing an image failed: %s", e.what());
    }
}

}  // namespace

Image::Image(OfxPropertySetHandle handle) : handle_(handle) {
    try {
        PropertySet props(handle);
        data_ = props.getPointer(kOfxImagePropData);
        bounds_ = rectProperty(props, kOfxImagePropBounds);
        rod_ = rectPropertyOr(props, kOfxImagePropRegionOfDefinition, bounds_);
        rowBytes_ = props.getInt(kOfxImagePropRowBytes);
        depth_ = mapBitDepthStringToEnum(props.getString(kOfxImageEffectPropPixelDepth));
        components_ = mapPixelComponentStringToEnum(props.getString(kOfxImageEffectPropComponents));
        uniqueId_ = props.getString(kOfxImagePropUniqueIdentifier, 0, "");
        renderScale_ = OfxPointD{props.getDouble(kOfxImageEffectPropRenderScale, 0, 1.0),
                                 props.getDouble(kOfxImageEffectPropRenderScale, 1, 1.0)};
    } catch (...) {
        releaseImage(handle_);
        throw;
    }
}

Image::~Image() { releaseImage(handle_); }

void* Image::getPixelData() const { return data_; }
OfxRectI Image::getBounds() const { return bounds_; }
OfxRectI Image::getRegionOfDefinition() const { return rod_; }
int Image::getRowBytes() const { return rowBytes_; }
BitDepthEnum Image::getPixelDepth() const { return depth_; }
PixelComponentEnum Image::getPixelComponents() const { return components_; }
int Image::getPixelComponentCount() const { return pixelComponentCount(components_); }
std::string Image::getUniqueIdentifier() const { return uniqueId_; }
OfxPointD Image::getRenderScale() const { return renderScale_; }

void* Image::getPixelAddress(int x, int y) const {
    const int pixelBytes = bitDepthBytes(depth_) * pixelComponentCount(components_);
    if (data_ == nullptr || pixelBytes == 0)
        return nullptr;
    if (x < bounds_.x1 || x >= bounds_.x2 || y < bounds_.y1 || y >= bounds_.y2)
        return nullptr;
    // 64-bit offsets: rows of large images overflow int; rowBytes may be negative.
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(y - bounds_.y1) * rowBytes_ +
                                  static_cast<std::ptrdiff_t>(x - bounds_.x1) * pixelBytes;
    return static_cast<unsigned char*>(data_) + offset;
}

// ---- clip ----

Clip::Clip(const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props)
    : name_(name), handle_(handle), props_(props) {}

const std::string& Clip::name() const { return name_; }

OfxImageClipHandle Clip::getHandle() const { return handle_; }

bool Clip::isConnected() const { return props_.getInt(kOfxImageClipPropConnected, 0, 0) != 0; }

PixelComponentEnum Clip::getPixelComponents() const {
    return mapPixelComponentStringToEnum(props_.getString(kOfxImageEffectPropComponents, 0, kOfxImageComponentNone));
}

BitDepthEnum Clip::getPixelDepth() const {
    return mapBitDepthStringToEnum(props_.getString(kOfxImageEffectPropPixelDepth, 0, kOfxBitDepthNone));
}

Image* Clip::fetchImage(double time) {
    OfxPropertySetHandle image = nullptr;
    const OfxStatus st = Private::need(Private::imageEffectSuite().clipGetImage)(handle_, time, nullptr, &image);
    if (st != kOfxStatOK || image == nullptr) {
        if (st != kOfxStatOK && st != kOfxStatFailed)
            Log::print("OFX: clip %s gave no image at %g: %s", name_.c_str(), time, mapStatusToString(st));
        if (st == kOfxStatOK && image == nullptr)
            Log::print("OFX: clip %s answered OK without an image", name_.c_str());
        return nullptr;
    }
    return new Image(image);
}

// ---- effect instance ----

ImageEffect::ImageEffect(OfxImageEffectHandle handle)
    : handle_(handle),
      props_(Private::effectPropertySet(handle)),
      context_(mapContextStringToEnum(props_.getString(kOfxImageEffectPropContext, 0, ""))) {
    OfxParamSetHandle paramSet = nullptr;
    const OfxStatus st = Private::need(Private::imageEffectSuite().getParamSet)(handle, &paramSet);
    if (st == kOfxStatOK && paramSet != nullptr)
        setParamSetHandle(paramSet);
    else
        Log::print("OFX: instance has no parameter set: %s", mapStatusToString(st));
}

ImageEffect::~ImageEffect() = default;

OfxImageEffectHandle ImageEffect::getHandle() const { return handle_; }

const PropertySet& ImageEffect::getPropertySet() const { return props_; }

ContextEnum ImageEffect::getContext() const { return context_; }

Clip* ImageEffect::fetchClip(const std::string& name) {
    std::lock_guard<std::mutex> lock(clipsMutex_);
    if (auto it = clips_.find(name); it != clips_.end())
        return it->second.get();
    OfxImageClipHandle clip = nullptr;
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st = Private::need(Private::imageEffectSuite().clipGetHandle)(handle_, name.c_str(), &clip, &props);
    if (st != kOfxStatOK || clip == nullptr)
        return nullptr;
    if (props == nullptr) {
        // The property set is optional in the call; ask for it separately.
        const OfxStatus pst = Private::need(Private::imageEffectSuite().clipGetPropertySet)(clip, &props);
        if (pst != kOfxStatOK || props == nullptr)
            return nullptr;
    }
    auto result = std::make_unique<Clip>(name, clip, props);
    Clip* raw = result.get();
    clips_.emplace(name, std::move(result));
    return raw;
}

bool ImageEffect::abort() const { return Private::need(Private::imageEffectSuite().abort)(handle_) != 0; }

OfxStatus ImageEffect::sendMessage(MessageTypeEnum type, const std::string& id, const std::string& message) {
    const Private::MessageSuite suite = Private::messageSuite();
    const char* typeString = mapMessageTypeEnumToString(type);
    // The text goes as an argument, never as the format: it may hold '%'.
    if (suite.v2 != nullptr && suite.v2->message != nullptr)
        return suite.v2->message(handle_, typeString, id.c_str(), "%s", message.c_str());
    if (suite.v1 != nullptr && suite.v1->message != nullptr)
        return suite.v1->message(handle_, typeString, id.c_str(), "%s", message.c_str());
    Log::print("OFX: no message suite for: %s", message.c_str());
    return kOfxStatFailed;
}

void ImageEffect::render(const RenderArguments&) {}
void ImageEffect::beginChanged(InstanceChangeReason) {}
void ImageEffect::changedParam(const InstanceChangedArgs&, const std::string&) {}
void ImageEffect::changedClip(const InstanceChangedArgs&, const std::string&) {}
void ImageEffect::endChanged(InstanceChangeReason) {}
void ImageEffect::syncPrivateData() {}

bool ImageEffect::isIdentity(const IsIdentityArguments&, Clip*&, double&) { return false; }

// ---- factory ----

PluginFactory::~PluginFactory() = default;
void PluginFactory::load() {}
void PluginFactory::unload() {}

}  // namespace OFX
