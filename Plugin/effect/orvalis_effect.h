// The Orvalis effect instance: the cube map, the pass-through with its
// point cloud for the viewer (fed through its ViewerFeed), and the panel's
// states.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ofxsImageEffect.h"

#include "effect/parameters.h"
#include "effect/process_context.h"
#include "effect/viewer_feed.h"
#include "orvalis/platform/dialog.h"

namespace orvalis::plugin {

// Source identities of the claims the instance itself makes.
inline constexpr char kIdentitySync[] = "sync-private-data";
inline constexpr char kIdentityParamChange[] = "param-change";
inline constexpr char kIdentitySwitchMode[] = "switch-to-orvalis";

// One effect instance.
class Orvalis : public OFX::ImageEffect {
public:
    Orvalis(OfxImageEffectHandle handle, ProcessContext& context);
    ~Orvalis() override;

    void syncPrivateData() override;
    void render(const OFX::RenderArguments& args) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;

private:
    // Hides the group or the cube-map size by mode.
    void applyModeVisibility();
    // "downsample" is enabled only without crop in 3D visualization mode.
    void updateDownsampleEnabled(int mode);
    // History length from the "frameRate" choice.
    void applyFrameRate();

    // "pluginMode" now (3D visualization without the parameter).
    int currentMode() const;

    void renderCubeMap(const OFX::RenderArguments& args);
    void renderVisualization(const OFX::RenderArguments& args);

    // Worker side: samples one queued image with the parameters at its
    // render time.
    std::optional<SampledCloud> sample(const RenderJob& job) const;
    // Tells the user about a launch outcome (the host's message suite).
    void notify(std::string_view text, std::string_view title, platform::MessageIcon icon);
    class LaunchNotifier;

    ProcessContext& context_;
    OFX::Clip* srcClip_ = nullptr;
    OFX::Clip* dstClip_ = nullptr;
    OFX::ChoiceParam* pluginMode_ = nullptr;
    OFX::ChoiceParam* downsample_ = nullptr;
    OFX::ChoiceParam* frameRate_ = nullptr;
    OFX::BooleanParam* cropToCubeMap_ = nullptr;
    OFX::IntParam* cubeMapSize_ = nullptr;
    OFX::DoubleParam* pointSize_ = nullptr;
    OFX::GroupParam* mainParameters_ = nullptr;

    std::unique_ptr<ViewerFeed> feed_;
};

}  // namespace orvalis::plugin
