// OFX C++ layer: the effect descriptor, the effect instance, plug-in factories
// and the registration hook. Including this header brings in the whole layer.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ofxsClip.h"
#include "ofxsCore.h"
#include "ofxsLog.h"
#include "ofxsParam.h"
#include "ofxsProperty.h"

namespace OFX {

// ---- describe / describeInContext ----

// Writes the effect's properties and defines its clips and parameters.
class ImageEffectDescriptor {
public:
    explicit ImageEffectDescriptor(OfxImageEffectHandle handle);
    ~ImageEffectDescriptor();
    ImageEffectDescriptor(const ImageEffectDescriptor&) = delete;
    ImageEffectDescriptor& operator=(const ImageEffectDescriptor&) = delete;

    OfxImageEffectHandle getHandle() const;
    void setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel);
    void setPluginGrouping(const std::string& grouping);
    void setPluginDescription(const std::string& description);
    void addSupportedContext(ContextEnum context);
    void addSupportedBitDepth(BitDepthEnum depth);
    void setSingleInstance(bool single);
    void setHostFrameThreading(bool hostThreads);
    void setSupportsMultiResolution(bool multiRes);
    void setSupportsTiles(bool tiles);
    void setRenderThreadSafety(RenderSafetyEnum safety);

    // define* return pointers owned by the descriptor; null only if the host refuses.
    // Defining a name twice answers the first definition.
    ClipDescriptor* defineClip(const std::string& name);
    IntParamDescriptor* defineIntParam(const std::string& name);
    DoubleParamDescriptor* defineDoubleParam(const std::string& name);
    BooleanParamDescriptor* defineBooleanParam(const std::string& name);
    ChoiceParamDescriptor* defineChoiceParam(const std::string& name);
    PushButtonParamDescriptor* definePushButtonParam(const std::string& name);
    GroupParamDescriptor* defineGroupParam(const std::string& name);

private:
    template <class T>
    T* defineParam(const std::string& name, const char* type);

    OfxImageEffectHandle handle_;
    PropertySet props_;
    OfxParamSetHandle paramSet_ = nullptr;
    int contexts_ = 0;
    int depths_ = 0;
    std::map<std::string, std::unique_ptr<ClipDescriptor>> clips_;
    std::map<std::string, std::unique_ptr<ParamDescriptor>> params_;
};

// ---- instance side ----

// What a render call asks for.
struct RenderArguments {
    double time;
    OfxPointD renderScale;
    OfxRectI renderWindow;
    std::string fieldToRender;
};

// What an instanceChanged call says.
struct InstanceChangedArgs {
    InstanceChangeReason reason;
    double time;
    OfxPointD renderScale;
};

// What an isIdentity call asks about.
struct IsIdentityArguments {
    double time;
    OfxPointD renderScale;
    OfxRectI renderWindow;
    std::string fieldToRender;
};

// Base of an effect instance. The dispatcher creates it through the factory
// and deletes it on destroyInstance.
class ImageEffect : public ParamSet {
public:
    explicit ImageEffect(OfxImageEffectHandle handle);
    ~ImageEffect() override;

    OfxImageEffectHandle getHandle() const;
    // The instance's own property set.
    const PropertySet& getPropertySet() const;
    ContextEnum getContext() const;
    // Null when missing; owned by the effect.
    Clip* fetchClip(const std::string& name);
    // Whether the host wants the current render to stop.
    bool abort() const;
    // Through the host's message suite (V2 when offered, else V1). Answers the
    // suite's status (kOfxStatOK, kOfxStatReplyYes / kOfxStatReplyNo for a
    // question, kOfxStatFailed), and kOfxStatFailed when the host has no message
    // suite, so that the caller can fall back to another way of telling the user.
    OfxStatus sendMessage(MessageTypeEnum type, const std::string& id, const std::string& message);

    // Action handlers; the defaults do nothing.
    virtual void render(const RenderArguments& args);
    virtual void beginChanged(InstanceChangeReason reason);
    virtual void changedParam(const InstanceChangedArgs& args, const std::string& paramName);
    virtual void changedClip(const InstanceChangedArgs& args, const std::string& clipName);
    virtual void endChanged(InstanceChangeReason reason);
    virtual void syncPrivateData();
    // True when the output equals identityClip's image at identityTime; the default says "not identity".
    virtual bool isIdentity(const IsIdentityArguments& args, Clip*& identityClip, double& identityTime);

private:
    OfxImageEffectHandle handle_;
    PropertySet props_;
    ContextEnum context_;
    std::mutex clipsMutex_;
    std::map<std::string, std::unique_ptr<Clip>> clips_;
};

// ---- factories and registration ----

// One plug-in of the binary.
class PluginFactory {
public:
    virtual ~PluginFactory();
    // kOfxActionLoad / kOfxActionUnload; the defaults do nothing.
    virtual void load();
    virtual void unload();
    virtual void describe(ImageEffectDescriptor& desc) = 0;
    virtual void describeInContext(ImageEffectDescriptor& desc, ContextEnum context) = 0;
    // A new instance on that handle; the dispatcher takes ownership.
    virtual ImageEffect* createInstance(OfxImageEffectHandle handle, ContextEnum context) = 0;
    // The structure handed to the host by OfxGetPlugin.
    virtual OfxPlugin* getPlugin() = 0;
    // Identifier and version together ("id.major.minor").
    virtual const std::string& getUID() const = 0;
    virtual const std::string& getID() const = 0;
    virtual unsigned getMajorVersion() const = 0;
    virtual unsigned getMinorVersion() const = 0;
};

namespace Private {
// Connects the layer to the host and fetches its suites.
void setHost(OfxHost* host);
// Runs one action for that factory; never throws.
OfxStatus mainEntry(PluginFactory* factory, const char* action, const void* handle, OfxPropertySetHandle inArgs,
                    OfxPropertySetHandle outArgs) noexcept;
}  // namespace Private

// Supplies the OfxPlugin structure and its static main entry for one factory class.
// Make exactly one object of each FACTORY type.
template <class FACTORY>
class PluginFactoryHelper : public PluginFactory {
public:
    PluginFactoryHelper(const std::string& id, unsigned versionMajor, unsigned versionMinor)
        : id_(id),
          uid_(id + "." + std::to_string(versionMajor) + "." + std::to_string(versionMinor)),
          major_(versionMajor),
          minor_(versionMinor) {
        plugin_.pluginApi = kOfxImageEffectPluginApi;
        plugin_.apiVersion = kOfxImageEffectPluginApiVersion;
        plugin_.pluginIdentifier = id_.c_str();
        plugin_.pluginVersionMajor = major_;
        plugin_.pluginVersionMinor = minor_;
        plugin_.setHost = &Private::setHost;
        plugin_.mainEntry = &PluginFactoryHelper::mainEntry;
        self_ = this;
    }
    ~PluginFactoryHelper() override {
        PluginFactory* expected = this;
        self_.compare_exchange_strong(expected, nullptr);
    }

    const std::string& getID() const override { return id_; }
    const std::string& getUID() const override { return uid_; }
    unsigned getMajorVersion() const override { return major_; }
    unsigned getMinorVersion() const override { return minor_; }
    // Its static main entry routes actions to the dispatcher.
    OfxPlugin* getPlugin() override { return &plugin_; }

private:
    static OfxStatus mainEntry(const char* action, const void* handle, OfxPropertySetHandle inArgs,
                               OfxPropertySetHandle outArgs) {
        return Private::mainEntry(self_, action, handle, inArgs, outArgs);
    }

    std::string id_;
    std::string uid_;
    unsigned major_;
    unsigned minor_;
    OfxPlugin plugin_{};
    static inline std::atomic<PluginFactory*> self_{nullptr};
};

typedef std::vector<PluginFactory*> PluginFactoryArray;

namespace Plugin {
// DEFINED BY THE PLUG-IN: the registration hook, called once, on the host's first question.
void getPluginIDs(PluginFactoryArray& ids);
}  // namespace Plugin

}  // namespace OFX
