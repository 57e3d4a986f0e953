// Describe time: the effect, clip and parameter descriptors write properties.
#include "ofxsImageEffect.h"
#include "ofxsLog.h"
#include "ofxsSuites.h"

namespace OFX {

// ---- parameter descriptors ----

ParamDescriptor::ParamDescriptor(const std::string& name, OfxPropertySetHandle props) : name_(name), props_(props) {}

ParamDescriptor::~ParamDescriptor() = default;

const std::string& ParamDescriptor::getName() const { return name_; }

void ParamDescriptor::setLabel(const std::string& label) { setLabels(label, label, label); }

void ParamDescriptor::setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel) {
    props_.setString(kOfxPropLabel, label);
    props_.setString(kOfxPropShortLabel, shortLabel);
    props_.setString(kOfxPropLongLabel, longLabel);
}

void ParamDescriptor::setHint(const std::string& hint) {
    hint_ = hint;
    props_.setString(kOfxParamPropHint, hint_);
}

void ParamDescriptor::setParent(const GroupParamDescriptor& group) {
    props_.setString(kOfxParamPropParent, group.getName());
}

void ParamDescriptor::setEnabled(bool enabled) { props_.setInt(kOfxParamPropEnabled, enabled ? 1 : 0); }

void ParamDescriptor::setIsSecret(bool secret) { props_.setInt(kOfxParamPropSecret, secret ? 1 : 0); }

void ValueParamDescriptor::setAnimates(bool animates) { props().setInt(kOfxParamPropAnimates, animates ? 1 : 0); }

void IntParamDescriptor::setDefault(int value) { props().setInt(kOfxParamPropDefault, value); }

void IntParamDescriptor::setRange(int min, int max) {
    props().setInt(kOfxParamPropMin, min);
    props().setInt(kOfxParamPropMax, max);
}

void IntParamDescriptor::setDisplayRange(int min, int max) {
    props().setInt(kOfxParamPropDisplayMin, min);
    props().setInt(kOfxParamPropDisplayMax, max);
}

void DoubleParamDescriptor::setDefault(double value) { props().setDouble(kOfxParamPropDefault, value); }

void DoubleParamDescriptor::setRange(double min, double max) {
    props().setDouble(kOfxParamPropMin, min);
    props().setDouble(kOfxParamPropMax, max);
}

void DoubleParamDescriptor::setDisplayRange(double min, double max) {
    props().setDouble(kOfxParamPropDisplayMin, min);
    props().setDouble(kOfxParamPropDisplayMax, max);
}

void DoubleParamDescriptor::setIncrement(double increment) { props().setDouble(kOfxParamPropIncrement, increment); }

void BooleanParamDescriptor::setDefault(bool value) { props().setInt(kOfxParamPropDefault, value ? 1 : 0); }

void ChoiceParamDescriptor::setDefault(int index) { props().setInt(kOfxParamPropDefault, index); }

void ChoiceParamDescriptor::appendOption(const std::string& option, const std::string& hint) {
    props().setString(kOfxParamPropChoiceOption, option, options_);
    ++options_;
    if (hint.empty())
        return;
    std::string text = this->hint();
    if (!text.empty())
        text += "\n";
    text += option + ": " + hint;
    setHint(text);
}

int ChoiceParamDescriptor::getNOptions() const { return options_; }

void GroupParamDescriptor::setOpen(bool open) { props().setInt(kOfxParamPropGroupOpen, open ? 1 : 0); }

// ---- clip descriptor ----

ClipDescriptor::ClipDescriptor(const std::string& name, OfxPropertySetHandle props) : name_(name), props_(props) {}

const std::string& ClipDescriptor::getName() const { return name_; }

void ClipDescriptor::addSupportedComponent(PixelComponentEnum components) {
    if (pixelComponentCount(components) == 0)
        throwSuiteStatusException(kOfxStatErrValue);
    props_.setString(kOfxImageEffectPropSupportedComponents, mapPixelComponentEnumToString(components), components_);
    ++components_;
}

void ClipDescriptor::setTemporalClipAccess(bool enabled) {
    props_.setInt(kOfxImageEffectPropTemporalClipAccess, enabled ? 1 : 0);
}

void ClipDescriptor::setSupportsTiles(bool enabled) {
    props_.setInt(kOfxImageEffectPropSupportsTiles, enabled ? 1 : 0);
}

void ClipDescriptor::setIsMask(bool mask) { props_.setInt(kOfxImageClipPropIsMask, mask ? 1 : 0); }

void ClipDescriptor::setOptional(bool optional) { props_.setInt(kOfxImageClipPropOptional, optional ? 1 : 0); }

// ---- effect descriptor ----

ImageEffectDescriptor::ImageEffectDescriptor(OfxImageEffectHandle handle)
    : handle_(handle), props_(Private::effectPropertySet(handle)) {}

ImageEffectDescriptor::~ImageEffectDescriptor() = default;

OfxImageEffectHandle ImageEffectDescriptor::getHandle() const { return handle_; }

void ImageEffectDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                                      const std::string& longLabel) {
    props_.setString(kOfxPropLabel, label);
    props_.setString(kOfxPropShortLabel, shortLabel);
    props_.setString(kOfxPropLongLabel, longLabel);
}

void ImageEffectDescriptor::setPluginGrouping(const std::string& grouping) {
    props_.setString(kOfxImageEffectPluginPropGrouping, grouping);
}

void ImageEffectDescriptor::setPluginDescription(const std::string& description) {
    props_.setString(kOfxPropPluginDescription, description);
}

void ImageEffectDescriptor::addSupportedContext(ContextEnum context) {
    if (context == eContextNone)
        throwSuiteStatusException(kOfxStatErrValue);
    props_.setString(kOfxImageEffectPropSupportedContexts, mapContextEnumToString(context), contexts_);
    ++contexts_;
}

void ImageEffectDescriptor::addSupportedBitDepth(BitDepthEnum depth) {
    if (bitDepthBytes(depth) == 0)
        throwSuiteStatusException(kOfxStatErrValue);
    props_.setString(kOfxImageEffectPropSupportedPixelDepths, mapBitDepthEnumToString(depth), depths_);
    ++depths_;
}

void ImageEffectDescriptor::setSingleInstance(bool single) {
    props_.setInt(kOfxImageEffectPluginPropSingleInstance, single ? 1 : 0);
}

void ImageEffectDescriptor::setHostFrameThreading(bool hostThreads) {
    props_.setInt(kOfxImageEffectPluginPropHostFrameThreading, hostThreads ? 1 : 0);
}

void ImageEffectDescriptor::setSupportsMultiResolution(bool multiRes) {
    props_.setInt(kOfxImageEffectPropSupportsMultiResolution, multiRes ? 1 : 0);
}

void ImageEffectDescriptor::setSupportsTiles(bool tiles) {
    props_.setInt(kOfxImageEffectPropSupportsTiles, tiles ? 1 : 0);
}

void ImageEffectDescriptor::setRenderThreadSafety(RenderSafetyEnum safety) {
    props_.setString(kOfxImageEffectPluginRenderThreadSafety, mapRenderSafetyEnumToString(safety));
}

ClipDescriptor* ImageEffectDescriptor::defineClip(const std::string& name) {
    if (auto it = clips_.find(name); it != clips_.end())
        return it->second.get();
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st = Private::need(Private::imageEffectSuite().clipDefine)(handle_, name.c_str(), &props);
    if (st != kOfxStatOK || props == nullptr) {
        Log::print("OFX: host refused clip %s: %s", name.c_str(), mapStatusToString(st));
        return nullptr;
    }
    auto clip = std::make_unique<ClipDescriptor>(name, props);
    ClipDescriptor* result = clip.get();
    clips_.emplace(name, std::move(clip));
    return result;
}

template <class T>
T* ImageEffectDescriptor::defineParam(const std::string& name, const char* type) {
    if (auto it = params_.find(name); it != params_.end())
        return dynamic_cast<T*>(it->second.get());  // null when defined with another type
    const OfxParameterSuiteV1& suite = Private::parameterSuite();
    if (paramSet_ == nullptr) {
        const OfxStatus st = Private::need(Private::imageEffectSuite().getParamSet)(handle_, &paramSet_);
        if (st != kOfxStatOK || paramSet_ == nullptr) {
            paramSet_ = nullptr;
            throwSuiteStatusException(st != kOfxStatOK ? st : kOfxStatErrBadHandle);
        }
    }
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st = Private::need(suite.paramDefine)(paramSet_, type, name.c_str(), &props);
    if (st != kOfxStatOK || props == nullptr) {
        Log::print("OFX: host refused parameter %s: %s", name.c_str(), mapStatusToString(st));
        return nullptr;
    }
    auto param = std::make_unique<T>(name, props);
    // The name is the key hosts use in scripts and saved projects.
    PropertySet(props).setString(kOfxParamPropScriptName, name);
    T* result = param.get();
    params_.emplace(name, std::move(param));
    return result;
}

IntParamDescriptor* ImageEffectDescriptor::defineIntParam(const std::string& name) {
    return defineParam<IntParamDescriptor>(name, kOfxParamTypeInteger);
}

DoubleParamDescriptor* ImageEffectDescriptor::defineDoubleParam(const std::string& name) {
    return defineParam<DoubleParamDescriptor>(name, kOfxParamTypeDouble);
}

BooleanParamDescriptor* ImageEffectDescriptor::defineBooleanParam(const std::string& name) {
    return defineParam<BooleanParamDescriptor>(name, kOfxParamTypeBoolean);
}

ChoiceParamDescriptor* ImageEffectDescriptor::defineChoiceParam(const std::string& name) {
    return defineParam<ChoiceParamDescriptor>(name, kOfxParamTypeChoice);
}

PushButtonParamDescriptor* ImageEffectDescriptor::definePushButtonParam(const std::string& name) {
    return defineParam<PushButtonParamDescriptor>(name, kOfxParamTypePushButton);
}

GroupParamDescriptor* ImageEffectDescriptor::defineGroupParam(const std::string& name) {
    return defineParam<GroupParamDescriptor>(name, kOfxParamTypeGroup);
}

}  // namespace OFX
