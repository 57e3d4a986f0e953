// What the host learns about Orvalis before any instance exists, and the
// registration of its one plug-in.
#include <string>
#include <string_view>

#include "ofxsImageEffect.h"

#include "effect/orvalis_effect.h"
#include "effect/parameters.h"
#include "effect/process_context.h"

namespace {

using namespace orvalis::plugin;

constexpr char kPluginIdentifier[] = "com.Quillmere.Orvalis";
constexpr unsigned kVersionMajor = 0;
constexpr unsigned kVersionMinor = 1;
constexpr unsigned kVersionPatch = 6;
constexpr char kProductWord[] = "Orvalis";
constexpr char kGrouping[] = "Quillmere";
constexpr char kDescription[] = "3D RGB Cube Visualization";

// "0.1.6", built once at load time.
const std::string& fullVersion() {
    static const std::string version =
        std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." + std::to_string(kVersionPatch);
    return version;
}
const std::string& pluginLabel() {
    static const std::string label = std::string(kProductWord) + " " + fullVersion();
    return label;
}

void echoToOfxLog(std::string_view text) { OFX::Log::print("%.*s", static_cast<int>(text.size()), text.data()); }

// One parameter from its table entry; the group, once defined, is the
// parent of the entries that belong to it.
void describeParam(OFX::ImageEffectDescriptor& desc, const ParamDef& def, OFX::GroupParamDescriptor*& group) {
    OFX::ParamDescriptor* param = nullptr;
    switch (def.kind) {
    case ParamKind::Group:
        if (OFX::GroupParamDescriptor* p = desc.defineGroupParam(def.name)) {
            p->setOpen(true);
            group = p;
            param = p;
        }
        break;
    case ParamKind::Choice:
        if (OFX::ChoiceParamDescriptor* p = desc.defineChoiceParam(def.name)) {
            for (const ChoiceOption& option : def.options) {
                p->appendOption(option.label);
            }
            p->setDefault(static_cast<int>(def.defaultValue));
            p->setAnimates(def.animates);
            param = p;
        }
        break;
    case ParamKind::Boolean:
        if (OFX::BooleanParamDescriptor* p = desc.defineBooleanParam(def.name)) {
            p->setDefault(def.defaultValue != 0.0);
            p->setAnimates(def.animates);
            param = p;
        }
        break;
    case ParamKind::PushButton: param = desc.definePushButtonParam(def.name); break;
    case ParamKind::Int:
        if (OFX::IntParamDescriptor* p = desc.defineIntParam(def.name)) {
            const int lo = static_cast<int>(def.minimum);
            const int hi = static_cast<int>(def.maximum);
            p->setDefault(static_cast<int>(def.defaultValue));
            p->setRange(lo, hi);
            p->setDisplayRange(lo, hi);
            p->setAnimates(def.animates);
            param = p;
        }
        break;
    case ParamKind::Double:
        if (OFX::DoubleParamDescriptor* p = desc.defineDoubleParam(def.name)) {
            p->setDefault(def.defaultValue);
            p->setRange(def.minimum, def.maximum);
            p->setDisplayRange(def.minimum, def.maximum);
            if (def.increment > 0.0) {
                p->setIncrement(def.increment);
            }
            p->setAnimates(def.animates);
            param = p;
        }
        break;
    }
    if (param == nullptr) {
        return;
    }
    param->setLabel(def.label);
    param->setHint(def.hint);
    if (def.inMainGroup && group != nullptr) {
        param->setParent(*group);
    }
}

}  // namespace

// The one plug-in of Orvalis.ofx.
class OrvalisPluginFactory : public OFX::PluginFactoryHelper<OrvalisPluginFactory> {
public:
    OrvalisPluginFactory()
        : OFX::PluginFactoryHelper<OrvalisPluginFactory>(kPluginIdentifier, kVersionMajor, kVersionMinor) {}

    void describe(OFX::ImageEffectDescriptor& desc) override;
    void describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context) override;
    OFX::ImageEffect* createInstance(OfxImageEffectHandle handle, OFX::ContextEnum context) override;
};

void OrvalisPluginFactory::describe(OFX::ImageEffectDescriptor& desc) {
    processContext().log.SetupOVLogging();
    desc.setLabels(pluginLabel(), pluginLabel(), pluginLabel());
    desc.setPluginGrouping(kGrouping);
    desc.setPluginDescription(kDescription);
    desc.addSupportedContext(OFX::eContextFilter);
    desc.addSupportedContext(OFX::eContextGeneral);
    desc.addSupportedBitDepth(OFX::eBitDepthUByte);
    desc.addSupportedBitDepth(OFX::eBitDepthUShort);
    desc.addSupportedBitDepth(OFX::eBitDepthFloat);
    desc.setSingleInstance(false);
    desc.setHostFrameThreading(true);
    desc.setSupportsMultiResolution(false);
    desc.setSupportsTiles(false);
    desc.setRenderThreadSafety(OFX::eRenderFullySafe);
}

void OrvalisPluginFactory::describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum /*context*/) {
    if (OFX::ClipDescriptor* src = desc.defineClip(kSourceClip)) {
        src->addSupportedComponent(OFX::ePixelComponentRGBA);
        src->setTemporalClipAccess(false);
        src->setSupportsTiles(false);
        src->setIsMask(false);
    }
    if (OFX::ClipDescriptor* dst = desc.defineClip(kOutputClip)) {
        dst->addSupportedComponent(OFX::ePixelComponentRGBA);
        dst->setSupportsTiles(false);
    }

    OFX::GroupParamDescriptor* group = nullptr;
    for (const ParamDef* def : kParameters) {
        describeParam(desc, *def, group);
    }
}

OFX::ImageEffect* OrvalisPluginFactory::createInstance(OfxImageEffectHandle handle, OFX::ContextEnum /*context*/) {
    return new Orvalis(handle, processContext());
}

namespace OFX::Plugin {

void getPluginIDs(PluginFactoryArray& ids) {
    processContext().log.setEcho(&echoToOfxLog);
    processContext().log.SetupOVLogging();
    static OrvalisPluginFactory factory;
    for (PluginFactory* known : ids) {
        if (known == &factory) {
            return;
        }
    }
    ids.push_back(&factory);
}

}  // namespace OFX::Plugin
