// The host-side objects behind the OpenFX handles, and the state of a loaded
// bundle and of an instance. Internal to the host library.
#ifndef OFXHOST_OBJECTS_H
#define OFXHOST_OBJECTS_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxParam.h"
#include "ofxhost/host.h"
#include "property_set.h"

namespace ofxhost::detail {

struct EffectObj;

// How a parameter type carries its values through the suite's varargs.
struct ParamShape {
    int dimension = 0;     // number of values; 0 for groups, pages and push buttons
    bool integer = false;  // int (integer, boolean, choice) rather than double
    bool text = false;     // a string value (string and custom parameters)
};
// Null for a type this host does not know.
std::optional<ParamShape> paramShape(const std::string& type);

struct ParamObj {
    static constexpr std::uint32_t kMagic = 0x4F465041;
    std::uint32_t magic = kMagic;
    std::string name, type;
    ParamShape shape;
    PropertySet props;
    EffectObj* effect = nullptr;
    // Values of an instance's parameter, guarded by the owning effect's valuesMutex.
    std::vector<double> values;
    std::string text;
    ParamObj() = default;
    ParamObj(const ParamObj& other) = default;
    ~ParamObj() { magic = 0; }
    OfxParamHandle handle() { return reinterpret_cast<OfxParamHandle>(this); }
    static ParamObj* from(OfxParamHandle h);
};

struct ParamSetObj {
    static constexpr std::uint32_t kMagic = 0x4F465053;
    std::uint32_t magic = kMagic;
    PropertySet props;
    std::vector<std::unique_ptr<ParamObj>> params;  // definition order
    EffectObj* effect = nullptr;
    ~ParamSetObj() { magic = 0; }
    ParamObj* find(const std::string& name) const;
    OfxParamSetHandle handle() { return reinterpret_cast<OfxParamSetHandle>(this); }
    static ParamSetObj* from(OfxParamSetHandle h);
};

struct ClipObj {
    static constexpr std::uint32_t kMagic = 0x4F464343;
    std::uint32_t magic = kMagic;
    std::string name;
    PropertySet props;
    EffectObj* effect = nullptr;
    mutable std::mutex mutex;  // guards image
    std::shared_ptr<ImageBuffer> image;
    ~ClipObj() { magic = 0; }
    OfxImageClipHandle handle() { return reinterpret_cast<OfxImageClipHandle>(this); }
    static ClipObj* from(OfxImageClipHandle h);
};

struct InstanceState;

// A plug-in descriptor (describe / describeInContext) or an instance.
struct EffectObj {
    static constexpr std::uint32_t kMagic = 0x4F464546;
    std::uint32_t magic = kMagic;
    PropertySet props;
    ParamSetObj paramSet;
    std::vector<std::unique_ptr<ClipObj>> clips;
    InstanceState* instance = nullptr;  // null for descriptors
    mutable std::mutex valuesMutex;     // guards parameter values
    EffectObj();
    ~EffectObj();
    ClipObj* findClip(const std::string& name) const;
    OfxImageEffectHandle handle() { return reinterpret_cast<OfxImageEffectHandle>(this); }
    static EffectObj* from(OfxImageEffectHandle h);
    // The effect behind a handle passed as void* (message and memory suites), or
    // null unless it is a live effect of this host.
    static EffectObj* fromLive(const void* h);
};

// An image handed to the plug-in by clipGetImage.
struct ImageObj {
    PropertySet props{false};
    std::shared_ptr<ImageBuffer> buffer;
    InstanceState* owner = nullptr;
};

// Registers a fetched image; its property-set handle goes to the plug-in.
OfxPropertySetHandle registerImage(std::unique_ptr<ImageObj> image);
// Releases a fetched image; false for an unknown handle.
bool releaseImage(OfxPropertySetHandle handle);
// Frees the images an instance never released (at its destruction).
void purgeImages(InstanceState* owner);

// Stores values into an instance's parameter: integers rounded, booleans
// made 0/1, numbers clamped to the range; a choice index outside the options
// or a wrong count is kOfxStatErrValue.
OfxStatus storeValues(ParamObj& param, std::vector<double> values);
OfxStatus storeText(ParamObj& param, const std::string& text);

struct PluginRecord {
    OfxPlugin* plugin = nullptr;
    bool loaded = false;
    std::string loadError;  // non-empty once kOfxActionLoad failed
    std::unique_ptr<EffectObj> descriptor;
    std::map<std::string, std::unique_ptr<EffectObj>> contextDescriptors;
    std::mutex renderMutex;  // serialises renders of a plug-in that is not thread safe
    std::atomic<int> liveInstances{0};
};

struct BundleState {
    void* library = nullptr;
    std::string binaryPath, bundlePath;
    std::vector<std::unique_ptr<PluginRecord>> plugins;
    std::recursive_mutex mutex;  // describe and instance creation
    std::string lastError;
    ~BundleState();
    // Loads (once) and describes the plug-in in the context; null with lastError set on failure.
    EffectObj* describedIn(int index, const std::string& context);
};

// Sends an action to a plug-in. Never lets anything escape.
OfxStatus callAction(OfxPlugin* plugin, const char* action, const void* handle, PropertySet* inArgs,
                     PropertySet* outArgs);

struct InstanceState {
    std::shared_ptr<BundleState> bundle;
    PluginRecord* plugin = nullptr;
    std::unique_ptr<EffectObj> effect;
    std::string renderSafety;
    std::mutex instanceRenderMutex;  // for instance-safe plug-ins
    std::atomic<int> lastStatus{kOfxStatOK};
    std::atomic<bool> abort{false};
    std::atomic<bool> live{false};  // create succeeded and destroy not begun: changes are sent
    std::atomic<int> outstanding{0};
    std::atomic<int> changeDepth{0};
    mutable std::mutex messagesMutex;
    std::vector<MessageRecord> messages;
    std::optional<MessageRecord> persistent;

    OfxStatus action(const char* name, PropertySet* inArgs = nullptr, PropertySet* outArgs = nullptr);
    // begin / instanceChanged / end for one parameter.
    OfxStatus paramChanged(const std::string& param, const char* reason);
    void record(MessageRecord m);
};

}  // namespace ofxhost::detail

struct ofxhost::Instance::Impl {
    std::unique_ptr<detail::InstanceState> state;
};

namespace ofxhost::detail {

// Property definitions for each kind of object.
void defineHostProps(PropertySet& p);
void defineEffectDescriptorProps(PropertySet& p, const std::string& bundlePath, const OfxPlugin* plugin);
void defineEffectInstanceProps(PropertySet& p, const std::string& context, const OfxPlugin* plugin);
void defineClipDescriptorProps(PropertySet& p, const std::string& name);
void defineClipInstanceProps(PropertySet& p);
// False for an unknown parameter type.
bool defineParamDescriptorProps(PropertySet& p, const std::string& type, const std::string& name);
void defineImageProps(PropertySet& p, ImageBuffer& image, double scaleX, double scaleY);

// Per-thread render context, inherited by multiThread's threads.
struct RenderContext {
    double scaleX = 1.0, scaleY = 1.0;
};
RenderContext& currentRenderContext();

}  // namespace ofxhost::detail

#endif
