// The Orvalis effect instance: the cube map, the pass-through with its
// point cloud for the viewer, and the two background threads that carry the
// cloud over.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ofxsImageEffect.h"

#include "effect/active_registry.h"
#include "effect/sampling.h"
#include "link/exchange_writer.h"
#include "link/sync_worker.h"
#include "orvalis/platform/dialog.h"

namespace orvalis::plugin {

// Parameter and clip names, the keys the host knows them by.
inline constexpr char kSourceClip[] = "Source";
inline constexpr char kOutputClip[] = "Output";
inline constexpr char kParamPluginMode[] = "pluginMode";
inline constexpr char kParamMainGroup[] = "mainParameters";
inline constexpr char kParamCrop[] = "cropToCubeMap";
inline constexpr char kParamOpenViewer[] = "open3DViewer";
inline constexpr char kParamCubeMapSize[] = "cubeMapSize";
inline constexpr char kParamDownsample[] = "downsample";
inline constexpr char kParamFrameRate[] = "frameRate";
inline constexpr char kParamPointSize[] = "pointSize";

// "pluginMode" options.
inline constexpr int kModeVisualization = 0;
inline constexpr int kModeCubeMap = 1;

// Source identities of the claims the instance itself makes.
inline constexpr char kIdentitySync[] = "sync-private-data";
inline constexpr char kIdentityParamChange[] = "param-change";
inline constexpr char kIdentitySwitchMode[] = "switch-to-orvalis";

// Mirrors the registry's owner into the shared block, with this process's id.
class BlockOwnerMirror : public OwnerMirror {
public:
    BlockOwnerMirror(std::optional<exchange::BlockView> view, std::uint32_t processId) noexcept
        : view_(view), processId_(processId) {}
    void setOwner(std::uint64_t instance) override;
    void clearOwnerIf(std::uint64_t instance) override;

private:
    std::optional<exchange::BlockView> view_;
    std::uint32_t processId_;
};

// One effect instance.
class Orvalis : public OFX::ImageEffect {
public:
    explicit Orvalis(OfxImageEffectHandle handle);
    ~Orvalis() override;

    void syncPrivateData() override;
    void render(const OFX::RenderArguments& args) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;

    // Process-unique, from 1.
    std::uint64_t instanceNumber() const noexcept { return instanceNumber_; }

private:
    // Registry operations for this instance.
    void makeActive(std::string_view identity);
    void releaseActive();
    bool isActive() const;
    OwnerMirror* ownerMirror() noexcept;

    // Hides the group or the cube-map size by mode.
    void applyModeVisibility();
    // "downsample" is enabled only without crop in 3D visualization mode.
    void updateDownsampleEnabled(int mode);
    // History length from the "frameRate" choice.
    void applyFrameRate();

    // "pluginMode" now (0 without the parameter).
    int currentMode() const;

    void renderCubeMap(const OFX::RenderArguments& args);
    void renderVisualization(const OFX::RenderArguments& args);

    // Worker side: samples one queued image and publishes the result.
    void processJob(RenderJob job);
    // Writes the newest result to the block (when this instance owns it) and
    // to the points files.
    void publish();
    // One look at the block for the watcher.
    WatchInputs observeLink() const;
    // Tells the user about a launch outcome (the host's message suite).
    void notify(std::string_view text, std::string_view title, platform::MessageIcon icon);
    class LaunchNotifier;

    OFX::Clip* srcClip_ = nullptr;
    OFX::Clip* dstClip_ = nullptr;
    OFX::ChoiceParam* pluginMode_ = nullptr;
    OFX::ChoiceParam* downsample_ = nullptr;
    OFX::ChoiceParam* frameRate_ = nullptr;
    OFX::BooleanParam* cropToCubeMap_ = nullptr;
    OFX::PushButtonParam* open3DViewer_ = nullptr;
    OFX::IntParam* cubeMapSize_ = nullptr;
    OFX::DoubleParam* pointSize_ = nullptr;
    OFX::GroupParam* mainParameters_ = nullptr;

    std::uint64_t instanceNumber_ = 0;
    std::uint32_t processId_ = 0;

    BlockAttachment block_;
    std::unique_ptr<BlockOwnerMirror> mirror_;

    ResultHistory resultHistory_;
    std::mutex recordsMutex_;
    SharedPoints currentRecords_;  // the latest complete result; null before the first
    std::mutex publishMutex_;

    JobQueue jobs_;
    std::unique_ptr<ProcessingWorker> worker_;
    std::unique_ptr<ViewerLinkWatcher> watcher_;
};

}  // namespace orvalis::plugin
