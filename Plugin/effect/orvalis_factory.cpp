// What the host learns about Orvalis before any instance exists, and the
// registration of its one plug-in.
#include <string>
#include <string_view>

#include "ofxsImageEffect.h"

#include "diagnostics/log.h"
#include "effect/orvalis_effect.h"

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
    static const std::string version = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                                       std::to_string(kVersionPatch);
    return version;
}
const std::string& pluginLabel() {
    static const std::string label = std::string(kProductWord) + " " + fullVersion();
    return label;
}

// Labels and hints as the user sees them (trailing blank and unmatched
// parenthesis included: hosts show them as they stand).
constexpr char kModeLabel[] = "Mode";
constexpr char kModeHint[] = "Switch between (3D Cube Visualization) and (CubeMap)";
constexpr char kGroupLabel[] = "3D Visualization";
constexpr char kGroupHint[] = "Main 3D visualization parameters";
constexpr char kCropLabel[] = "Crop to cube map";
constexpr char kCropHint[] = "Crop input image to the cube map region";
constexpr char kOpenLabel[] = "Open 3D Viewer";
constexpr char kOpenHint[] = "Open external 3D visualization window)";
constexpr char kSizeLabel[] = "Cube Map Size";
constexpr char kSizeHint[] = "Number of color steps per channel";
constexpr char kDownsampleLabel[] = "Downsample";
constexpr char kDownsampleHint[] = "Lower the number of samples to reduce processing time";
constexpr char kRateLabel[] = "FPS";
constexpr char kRateHint[] = "Select frame rate for calculation and continuous updates";
constexpr char kPointSizeLabel[] = "Points Size";
constexpr char kPointSizeHint[] = "3D sphere point size ";

void echoToOfxLog(std::string_view text) {
    OFX::Log::print("%.*s", static_cast<int>(text.size()), text.data());
}

}  // namespace

// The one plug-in of Orvalis.ofx.
class OrvalisPluginFactory : public OFX::PluginFactoryHelper<OrvalisPluginFactory> {
public:
    OrvalisPluginFactory() : OFX::PluginFactoryHelper<OrvalisPluginFactory>(kPluginIdentifier, kVersionMajor, kVersionMinor) {}

    void describe(OFX::ImageEffectDescriptor& desc) override;
    void describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context) override;
    OFX::ImageEffect* createInstance(OfxImageEffectHandle handle, OFX::ContextEnum context) override;
};

void OrvalisPluginFactory::describe(OFX::ImageEffectDescriptor& desc) {
    SetupOVLogging();
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

    if (OFX::ChoiceParamDescriptor* p = desc.defineChoiceParam(kParamPluginMode)) {
        p->setLabel(kModeLabel);
        p->setHint(kModeHint);
        p->appendOption("Orvalis");
        p->appendOption("CubeMap");
        p->setDefault(kModeVisualization);
        p->setAnimates(false);
    }

    OFX::GroupParamDescriptor* group = desc.defineGroupParam(kParamMainGroup);
    if (group) {
        group->setLabel(kGroupLabel);
        group->setHint(kGroupHint);
        group->setOpen(true);
    }

    if (OFX::BooleanParamDescriptor* p = desc.defineBooleanParam(kParamCrop)) {
        p->setLabel(kCropLabel);
        p->setHint(kCropHint);
        p->setDefault(false);
        p->setAnimates(false);
        if (group) {
            p->setParent(*group);
        }
    }

    if (OFX::PushButtonParamDescriptor* p = desc.definePushButtonParam(kParamOpenViewer)) {
        p->setLabel(kOpenLabel);
        p->setHint(kOpenHint);
        if (group) {
            p->setParent(*group);
        }
    }

    if (OFX::IntParamDescriptor* p = desc.defineIntParam(kParamCubeMapSize)) {
        p->setLabel(kSizeLabel);
        p->setHint(kSizeHint);
        p->setDefault(30);
        p->setRange(8, 30);
        p->setDisplayRange(8, 30);
        p->setAnimates(false);
    }

    if (OFX::ChoiceParamDescriptor* p = desc.defineChoiceParam(kParamDownsample)) {
        p->setLabel(kDownsampleLabel);
        p->setHint(kDownsampleHint);
        for (const char* option : {"100%", "75%", "50%", "25%", "10%"}) {
            p->appendOption(option);
        }
        p->setDefault(2);
        p->setAnimates(false);
        if (group) {
            p->setParent(*group);
        }
    }

    if (OFX::ChoiceParamDescriptor* p = desc.defineChoiceParam(kParamFrameRate)) {
        p->setLabel(kRateLabel);
        p->setHint(kRateHint);
        for (const char* option : {"24", "25", "30", "50", "60"}) {
            p->appendOption(option);
        }
        p->setDefault(0);
        p->setAnimates(false);
        if (group) {
            p->setParent(*group);
        }
    }

    if (OFX::DoubleParamDescriptor* p = desc.defineDoubleParam(kParamPointSize)) {
        p->setLabel(kPointSizeLabel);
        p->setHint(kPointSizeHint);
        p->setDefault(4.0);
        p->setRange(1.0, 10.0);
        p->setDisplayRange(1.0, 10.0);
        p->setIncrement(0.1);
        p->setAnimates(true);
        if (group) {
            p->setParent(*group);
        }
    }
}

OFX::ImageEffect* OrvalisPluginFactory::createInstance(OfxImageEffectHandle handle, OFX::ContextEnum /*context*/) {
    return new Orvalis(handle);
}

namespace OFX::Plugin {

void getPluginIDs(PluginFactoryArray& ids) {
    setLogEcho(&echoToOfxLog);
    SetupOVLogging();
    static OrvalisPluginFactory factory;
    for (PluginFactory* known : ids) {
        if (known == &factory) {
            return;
        }
    }
    ids.push_back(&factory);
}

}  // namespace OFX::Plugin
