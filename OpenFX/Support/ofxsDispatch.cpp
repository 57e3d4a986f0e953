// The binary's entry points, the host connection and the action dispatch.
#include <atomic>
#include <cstring>
#include <memory>

#include "ofxsImageEffect.h"
#include "ofxsLog.h"
#include "ofxsSuites.h"

namespace OFX::Private {

namespace {

// Written by setHost, read by every action on any thread.
std::atomic<const OfxPropertySuiteV1*> gPropertySuite{nullptr};
std::atomic<const OfxImageEffectSuiteV1*> gImageEffectSuite{nullptr};
std::atomic<const OfxParameterSuiteV1*> gParameterSuite{nullptr};
std::atomic<const OfxMemorySuiteV1*> gMemorySuite{nullptr};
std::atomic<const OfxMultiThreadSuiteV1*> gMultiThreadSuite{nullptr};
std::atomic<const OfxMessageSuiteV1*> gMessageSuiteV1{nullptr};
std::atomic<const OfxMessageSuiteV2*> gMessageSuiteV2{nullptr};

template <class T>
const T& require(const std::atomic<const T*>& suite) {
    const T* s = suite.load(std::memory_order_acquire);
    if (s == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return *s;
}

template <class T>
const T* fetch(OfxHost* host, const char* name, int version) {
    if (host == nullptr || host->fetchSuite == nullptr)
        return nullptr;
    const T* suite = static_cast<const T*>(host->fetchSuite(host->host, name, version));
    if (suite == nullptr)
        Log::print("OFX: host offers no %s version %d", name, version);
    return suite;
}

// The registered factories, asked for once, on first use.
const PluginFactoryArray& factories() {
    static const PluginFactoryArray list = [] {
        PluginFactoryArray ids;
        try {
            OFX::Plugin::getPluginIDs(ids);
        } catch (const std::exception& e) {
            Log::print("OFX: plug-in registration failed: %s", e.what());
            ids.clear();
        } catch (...) {
            Log::print("OFX: plug-in registration failed");
            ids.clear();
        }
        std::erase(ids, nullptr);
        return ids;
    }();
    return list;
}

OfxImageEffectHandle effectHandle(const void* handle) {
    if (handle == nullptr)
        throwSuiteStatusException(kOfxStatErrBadHandle);
    return static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
}

ImageEffect* instanceOf(const void* handle) {
    auto* effect = static_cast<ImageEffect*>(effectPropertySet(effectHandle(handle)).getPointer(kOfxPropInstanceData));
    if (effect == nullptr)
        throwSuiteStatusException(kOfxStatErrBadHandle);
    return effect;
}

OfxRectI renderWindowOf(const PropertySet& args) {
    return OfxRectI{args.getInt(kOfxImageEffectPropRenderWindow, 0), args.getInt(kOfxImageEffectPropRenderWindow, 1),
                    args.getInt(kOfxImageEffectPropRenderWindow, 2), args.getInt(kOfxImageEffectPropRenderWindow, 3)};
}

InstanceChangeReason reasonOf(const PropertySet& args) {
    return mapChangeReasonStringToEnum(args.getString(kOfxPropChangeReason, 0, kOfxChangeUserEdited));
}

OfxPointD renderScaleOf(const PropertySet& args) {
    return OfxPointD{args.getDouble(kOfxImageEffectPropRenderScale, 0, 1.0),
                     args.getDouble(kOfxImageEffectPropRenderScale, 1, 1.0)};
}

OfxStatus createInstance(PluginFactory* factory, const void* handle) {
    OfxImageEffectHandle effect = effectHandle(handle);
    PropertySet props = effectPropertySet(effect);
    const ContextEnum context = mapContextStringToEnum(props.getString(kOfxImageEffectPropContext, 0, ""));
    std::unique_ptr<ImageEffect> instance(factory->createInstance(effect, context));
    if (!instance)
        return kOfxStatFailed;
    props.setPointer(kOfxPropInstanceData, instance.get());
    // A host that dropped the pointer could never reach (or destroy) the instance.
    if (props.getPointer(kOfxPropInstanceData) != instance.get())
        throwSuiteStatusException(kOfxStatErrBadHandle);
    instance.release();
    return kOfxStatOK;
}

OfxStatus destroyInstance(const void* handle) {
    ImageEffect* effect = instanceOf(handle);
    // Forget the pointer first: nothing may reach a deleted instance through the host.
    try {
        PropertySet(effect->getPropertySet().handle()).setPointer(kOfxPropInstanceData, nullptr);
    } catch (const Exception::Suite&) {
    }
    delete effect;
    return kOfxStatOK;
}

// Render and identity calls name the frame the same way.
template <typename Arguments>
void readFrameArguments(PropertySet& in, Arguments& args) {
    args.time = in.getDouble(kOfxPropTime, 0, 0.0);
    args.renderScale = renderScaleOf(in);
    args.renderWindow = renderWindowOf(in);
    args.fieldToRender = in.getString(kOfxImageEffectPropFieldToRender, 0, kOfxImageFieldNone);
}

OfxStatus render(const void* handle, PropertySet in) {
    ImageEffect* effect = instanceOf(handle);
    RenderArguments args;
    readFrameArguments(in, args);
    effect->render(args);
    return kOfxStatOK;
}

OfxStatus isIdentity(const void* handle, PropertySet in, PropertySet out) {
    ImageEffect* effect = instanceOf(handle);
    IsIdentityArguments args;
    readFrameArguments(in, args);
    Clip* clip = nullptr;
    double time = args.time;
    if (!effect->isIdentity(args, clip, time) || clip == nullptr)
        return kOfxStatReplyDefault;
    out.setString(kOfxPropName, clip->name());
    out.setDouble(kOfxPropTime, time);
    return kOfxStatOK;
}

OfxStatus instanceChanged(const void* handle, PropertySet in) {
    ImageEffect* effect = instanceOf(handle);
    InstanceChangedArgs args;
    args.reason = reasonOf(in);
    args.time = in.getDouble(kOfxPropTime, 0, 0.0);
    args.renderScale = renderScaleOf(in);
    const std::string type = in.getString(kOfxPropType);
    const std::string name = in.getString(kOfxPropName);
    if (type == kOfxTypeParameter)
        effect->changedParam(args, name);
    else if (type == kOfxTypeClip)
        effect->changedClip(args, name);
    else
        return kOfxStatReplyDefault;
    return kOfxStatOK;
}

OfxStatus dispatch(PluginFactory* factory, const char* action, const void* handle, PropertySet in, PropertySet out) {
    const std::string_view a(action);
    if (a == kOfxActionLoad) {
        factory->load();
        return kOfxStatOK;
    }
    if (a == kOfxActionUnload) {
        factory->unload();
        return kOfxStatOK;
    }
    if (a == kOfxActionDescribe) {
        ImageEffectDescriptor desc(effectHandle(handle));
        factory->describe(desc);
        return kOfxStatOK;
    }
    if (a == kOfxImageEffectActionDescribeInContext) {
        ImageEffectDescriptor desc(effectHandle(handle));
        factory->describeInContext(desc, mapContextStringToEnum(in.getString(kOfxImageEffectPropContext)));
        return kOfxStatOK;
    }
    if (a == kOfxActionCreateInstance)
        return createInstance(factory, handle);
    if (a == kOfxActionDestroyInstance)
        return destroyInstance(handle);
    if (a == kOfxImageEffectActionRender)
        return render(handle, in);
    if (a == kOfxImageEffectActionIsIdentity)
        return isIdentity(handle, in, out);
    if (a == kOfxActionBeginInstanceChanged) {
        instanceOf(handle)->beginChanged(reasonOf(in));
        return kOfxStatOK;
    }
    if (a == kOfxActionInstanceChanged)
        return instanceChanged(handle, in);
    if (a == kOfxActionEndInstanceChanged) {
        instanceOf(handle)->endChanged(reasonOf(in));
        return kOfxStatOK;
    }
    if (a == kOfxActionSyncPrivateData) {
        instanceOf(handle)->syncPrivateData();
        return kOfxStatOK;
    }
    return kOfxStatReplyDefault;
}

}  // namespace

const OfxPropertySuiteV1& propertySuite() { return require(gPropertySuite); }
const OfxImageEffectSuiteV1& imageEffectSuite() { return require(gImageEffectSuite); }
const OfxParameterSuiteV1& parameterSuite() { return require(gParameterSuite); }
const OfxMemorySuiteV1& memorySuite() { return require(gMemorySuite); }
const OfxMultiThreadSuiteV1& multiThreadSuite() { return require(gMultiThreadSuite); }

MessageSuite messageSuite() {
    return MessageSuite{gMessageSuiteV2.load(std::memory_order_acquire),
                        gMessageSuiteV1.load(std::memory_order_acquire)};
}

PropertySet effectPropertySet(OfxImageEffectHandle handle) {
    if (handle == nullptr)
        throwSuiteStatusException(kOfxStatErrBadHandle);
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st = Private::need(Private::imageEffectSuite().getPropertySet)(handle, &props);
    if (st != kOfxStatOK || props == nullptr)
        throwSuiteStatusException(st != kOfxStatOK ? st : kOfxStatErrBadHandle);
    return PropertySet(props);
}

void logFailure(const char* what, OfxStatus status, const char* detail) noexcept {
    Log::print("OFX: %s failed with %s: %s", what != nullptr ? what : "(null action)", mapStatusToString(status),
               detail != nullptr ? detail : "");
}

void setHost(OfxHost* host) {
    gPropertySuite.store(fetch<OfxPropertySuiteV1>(host, kOfxPropertySuite, 1), std::memory_order_release);
    gImageEffectSuite.store(fetch<OfxImageEffectSuiteV1>(host, kOfxImageEffectSuite, 1), std::memory_order_release);
    gParameterSuite.store(fetch<OfxParameterSuiteV1>(host, kOfxParameterSuite, 1), std::memory_order_release);
    gMemorySuite.store(fetch<OfxMemorySuiteV1>(host, kOfxMemorySuite, 1), std::memory_order_release);
    gMultiThreadSuite.store(fetch<OfxMultiThreadSuiteV1>(host, kOfxMultiThreadSuite, 1), std::memory_order_release);
    const auto* v2 = fetch<OfxMessageSuiteV2>(host, kOfxMessageSuite, 2);
    gMessageSuiteV2.store(v2, std::memory_order_release);
    gMessageSuiteV1.store(v2 != nullptr ? nullptr : fetch<OfxMessageSuiteV1>(host, kOfxMessageSuite, 1),
                          std::memory_order_release);
}

OfxStatus mainEntry(PluginFactory* factory, const char* action, const void* handle, OfxPropertySetHandle inArgs,
                    OfxPropertySetHandle outArgs) noexcept {
    if (action == nullptr)
        return kOfxStatErrBadHandle;
    if (factory == nullptr)
        return kOfxStatFailed;
    return guarded(action,
                   [&] { return dispatch(factory, action, handle, PropertySet(inArgs), PropertySet(outArgs)); });
}

}  // namespace OFX::Private

OfxExport int OfxGetNumberOfPlugins(void) {
    try {
        return static_cast<int>(OFX::Private::factories().size());
    } catch (...) {
        return 0;  // a status here would read as a plug-in count
    }
}

OfxExport OfxPlugin* OfxGetPlugin(int nth) {
    try {
        const auto& list = OFX::Private::factories();
        if (nth < 0 || static_cast<size_t>(nth) >= list.size())
            return nullptr;
        return list[static_cast<size_t>(nth)]->getPlugin();
    } catch (...) {
        return nullptr;
    }
}
