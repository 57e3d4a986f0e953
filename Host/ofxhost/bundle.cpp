// Bundles, descriptions and instances: the actions a host sends and when.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>

#include "host_loader.h"
#include "objects.h"

namespace ofxhost {

namespace fs = std::filesystem;
using namespace detail;

namespace {

fs::path pathFromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string utf8(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

// Binaries loaded in this process: a second load of the same file shares the
// first one's state, so that a plug-in sees one kOfxActionLoad and one unload.
std::mutex& loadedMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, std::weak_ptr<BundleState>>& loadedBinaries() {
    static std::map<std::string, std::weak_ptr<BundleState>> m;
    return m;
}

bool succeeded(OfxStatus s) { return s == kOfxStatOK || s == kOfxStatReplyDefault; }

std::string statusText(OfxStatus s) {
    static const char* const names[] = {"kOfxStatOK",
                                        "kOfxStatFailed",
                                        "kOfxStatErrFatal",
                                        "kOfxStatErrUnknown",
                                        "kOfxStatErrMissingHostFeature",
                                        "kOfxStatErrUnsupported",
                                        "kOfxStatErrExists",
                                        "kOfxStatErrFormat",
                                        "kOfxStatErrMemory",
                                        "kOfxStatErrBadHandle",
                                        "kOfxStatErrBadIndex",
                                        "kOfxStatErrValue",
                                        "kOfxStatReplyYes",
                                        "kOfxStatReplyNo",
                                        "kOfxStatReplyDefault"};
    if (s >= 0 && s < static_cast<int>(std::size(names)))
        return names[s];
    return "status " + std::to_string(s);
}

// The three labels; a host shows the label where a short or long one is missing.
void readLabels(const PropertySet& s, std::string& label, std::string& shortLabel, std::string& longLabel) {
    label = s.stringValue(kOfxPropLabel);
    shortLabel = s.stringValue(kOfxPropShortLabel);
    longLabel = s.stringValue(kOfxPropLongLabel);
    if (shortLabel.empty())
        shortLabel = label;
    if (longLabel.empty())
        longLabel = label;
}

ParamInfo paramInfo(const ParamObj& p) {
    ParamInfo info;
    const PropertySet& s = p.props;
    info.name = p.name;
    info.type = p.type;
    readLabels(s, info.label, info.shortLabel, info.longLabel);
    info.hint = s.stringValue(kOfxParamPropHint);
    info.parent = s.stringValue(kOfxParamPropParent);
    info.options = s.strings(kOfxParamPropChoiceOption);
    if (p.shape.text)
        info.defaultString = s.stringValue(kOfxParamPropDefault);
    else
        info.defaultValue = s.numbers(kOfxParamPropDefault);
    info.min = s.numbers(kOfxParamPropMin);
    info.max = s.numbers(kOfxParamPropMax);
    info.displayMin = s.numbers(kOfxParamPropDisplayMin);
    info.displayMax = s.numbers(kOfxParamPropDisplayMax);
    info.increment = s.doubleValue(kOfxParamPropIncrement, 0, 0.0);
    info.animates = s.intValue(kOfxParamPropAnimates, 0, 0) != 0;
    info.enabled = s.intValue(kOfxParamPropEnabled, 0, 1) != 0;
    info.secret = s.intValue(kOfxParamPropSecret, 0, 0) != 0;
    info.open = s.intValue(kOfxParamPropGroupOpen, 0, 0) != 0;
    return info;
}

}  // namespace

OfxStatus detail::callAction(OfxPlugin* plugin, const char* action, const void* handle, PropertySet* inArgs,
                             PropertySet* outArgs) {
    if (!plugin || !plugin->mainEntry)
        return kOfxStatErrFatal;
    return plugin->mainEntry(action, handle, inArgs ? inArgs->handle() : nullptr,
                             outArgs ? outArgs->handle() : nullptr);
}

BundleState::~BundleState() {
    for (auto& p : plugins)
        if (p->loaded && p->loadError.empty())
            callAction(p->plugin, kOfxActionUnload, nullptr, nullptr, nullptr);
    plugins.clear();
    loader::closeLibrary(library);
}

EffectObj* BundleState::describedIn(int index, const std::string& context) {
    std::lock_guard lock(mutex);
    if (index < 0 || index >= static_cast<int>(plugins.size())) {
        lastError = "No plug-in with index " + std::to_string(index) + " in " + binaryPath;
        return nullptr;
    }
    PluginRecord& rec = *plugins[static_cast<std::size_t>(index)];
    OfxPlugin* plugin = rec.plugin;
    const std::string id = plugin->pluginIdentifier ? plugin->pluginIdentifier : "(no identifier)";
    if (!plugin->pluginApi || std::string(plugin->pluginApi) != kOfxImageEffectPluginApi || !plugin->mainEntry) {
        lastError = "Plug-in " + id + " is not an OpenFX image effect this host can drive";
        return nullptr;
    }
    if (!rec.loaded) {
        rec.loaded = true;
        if (plugin->setHost)
            plugin->setHost(const_cast<OfxHost*>(hostStruct()));
        const OfxStatus s = callAction(plugin, kOfxActionLoad, nullptr, nullptr, nullptr);
        if (!succeeded(s))
            rec.loadError = "kOfxActionLoad of " + id + " failed: " + statusText(s);
    }
    if (!rec.loadError.empty()) {
        lastError = rec.loadError;
        return nullptr;
    }
    if (!rec.descriptor) {
        auto d = std::make_unique<EffectObj>();
        defineEffectDescriptorProps(d->props, bundlePath, plugin);
        const OfxStatus s = callAction(plugin, kOfxActionDescribe, d->handle(), nullptr, nullptr);
        if (!succeeded(s)) {
            lastError = "kOfxActionDescribe of " + id + " failed: " + statusText(s);
            return nullptr;
        }
        rec.descriptor = std::move(d);
    }
    const auto contexts = rec.descriptor->props.strings(kOfxImageEffectPropSupportedContexts);
    if (std::find(contexts.begin(), contexts.end(), context) == contexts.end()) {
        lastError = "Plug-in " + id + " does not support the context " + context;
        return nullptr;
    }
    auto& slot = rec.contextDescriptors[context];
    if (!slot) {
        auto d = std::make_unique<EffectObj>();
        d->props.copyFrom(rec.descriptor->props);
        PropertySet in(false);
        in.defineString(kOfxImageEffectPropContext, {context});
        const OfxStatus s = callAction(plugin, kOfxImageEffectActionDescribeInContext, d->handle(), &in, nullptr);
        if (!succeeded(s)) {
            rec.contextDescriptors.erase(context);
            lastError =
                "kOfxImageEffectActionDescribeInContext of " + id + " (" + context + ") failed: " + statusText(s);
            return nullptr;
        }
        slot = std::move(d);
    }
    return slot.get();
}

// ---- Bundle -------------------------------------------------------------

std::unique_ptr<Bundle> Bundle::load(const std::string& path, std::string& error) {
    error.clear();
    try {
        fs::path p = pathFromUtf8(path);
        std::error_code ec;
        if (path.empty() || !fs::exists(p, ec)) {
            error = "No such bundle or binary: " + path;
            return nullptr;
        }
        fs::path binary = p, bundleRoot;
        if (fs::is_directory(p, ec)) {
            // X.ofx.bundle/Contents/<arch>/X.ofx
            std::string name = utf8(p.filename().empty() ? p.parent_path().filename() : p.filename());
            for (const char* suffix : {".bundle", ".ofx"})
                if (name.size() > std::strlen(suffix) && name.ends_with(suffix))
                    name.resize(name.size() - std::strlen(suffix));
            bundleRoot = p;
            binary = p / "Contents" / loader::bundleArchitecture() / pathFromUtf8(name + ".ofx");
            if (!fs::is_regular_file(binary, ec)) {
                error = "The bundle " + path + " holds no binary for this platform (expected " + utf8(binary) + ")";
                return nullptr;
            }
        } else {
            const fs::path contents = p.parent_path().parent_path();
            bundleRoot = contents.filename() == "Contents" ? contents.parent_path() : p.parent_path();
        }
        binary = fs::weakly_canonical(fs::absolute(binary, ec), ec);
        std::lock_guard loadedLock(loadedMutex());
        if (auto shared = loadedBinaries()[utf8(binary)].lock()) {
            std::unique_ptr<Bundle> bundle(new Bundle());
            bundle->state_ = std::move(shared);
            return bundle;
        }
        auto state = std::make_shared<BundleState>();
        state->binaryPath = utf8(binary);
        state->bundlePath = utf8(fs::absolute(bundleRoot, ec));
        state->library = loader::openLibrary(state->binaryPath, error);
        if (!state->library)
            return nullptr;
        auto count =
            reinterpret_cast<OfxGetNumberOfPluginsFunc>(loader::findSymbol(state->library, "OfxGetNumberOfPlugins"));
        auto get = reinterpret_cast<OfxGetPluginFunc>(loader::findSymbol(state->library, "OfxGetPlugin"));
        if (!count || !get) {
            error = state->binaryPath + " is not an OpenFX plug-in: it does not export " +
                    (!count ? "OfxGetNumberOfPlugins" : "OfxGetPlugin");
            return nullptr;
        }
        const int n = count();
        if (n < 0 || n > 100000) {
            error = state->binaryPath + " reports an impossible plug-in count " + std::to_string(n);
            return nullptr;
        }
        for (int i = 0; i < n; ++i) {
            OfxPlugin* plugin = get(i);
            if (!plugin) {
                error = state->binaryPath + ": OfxGetPlugin(" + std::to_string(i) + ") returned no plug-in";
                return nullptr;
            }
            auto rec = std::make_unique<PluginRecord>();
            rec->plugin = plugin;
            state->plugins.push_back(std::move(rec));
        }
        loadedBinaries()[state->binaryPath] = state;
        std::unique_ptr<Bundle> bundle(new Bundle());
        bundle->state_ = std::move(state);
        return bundle;
    } catch (const std::exception& e) {
        error = std::string("Cannot load ") + path + ": " + e.what();
        return nullptr;
    }
}

Bundle::~Bundle() = default;  // the state unloads once no instance holds it

std::string Bundle::binaryPath() const { return state_->binaryPath; }

int Bundle::pluginCount() const { return static_cast<int>(state_->plugins.size()); }

std::string Bundle::lastError() const {
    std::lock_guard lock(state_->mutex);
    return state_->lastError;
}

PluginDescription Bundle::describe(int index, const std::string& context) {
    PluginDescription d;
    std::lock_guard lock(state_->mutex);
    EffectObj* e = state_->describedIn(index, context);
    if (index >= 0 && index < pluginCount()) {
        const OfxPlugin* plugin = state_->plugins[static_cast<std::size_t>(index)]->plugin;
        d.identifier = plugin->pluginIdentifier ? plugin->pluginIdentifier : "";
        d.versionMajor = plugin->pluginVersionMajor;
        d.versionMinor = plugin->pluginVersionMinor;
    }
    if (!e) {
        d.error = state_->lastError;
        return d;
    }
    const PropertySet& s = e->props;
    readLabels(s, d.label, d.shortLabel, d.longLabel);
    d.grouping = s.stringValue(kOfxImageEffectPluginPropGrouping);
    d.description = s.stringValue(kOfxPropPluginDescription);
    d.contexts = s.strings(kOfxImageEffectPropSupportedContexts);
    d.depths = s.strings(kOfxImageEffectPropSupportedPixelDepths);
    d.singleInstance = s.intValue(kOfxImageEffectPluginPropSingleInstance) != 0;
    d.hostFrameThreading = s.intValue(kOfxImageEffectPluginPropHostFrameThreading) != 0;
    d.multiResolution = s.intValue(kOfxImageEffectPropSupportsMultiResolution) != 0;
    d.tiles = s.intValue(kOfxImageEffectPropSupportsTiles) != 0;
    d.renderThreadSafety = s.stringValue(kOfxImageEffectPluginRenderThreadSafety);
    for (const auto& c : e->clips) {
        ClipInfo ci;
        ci.name = c->name;
        ci.components = c->props.strings(kOfxImageEffectPropSupportedComponents);
        ci.temporalAccess = c->props.intValue(kOfxImageEffectPropTemporalClipAccess) != 0;
        ci.tiles = c->props.intValue(kOfxImageEffectPropSupportsTiles, 0, 1) != 0;
        ci.isMask = c->props.intValue(kOfxImageClipPropIsMask) != 0;
        ci.optional = c->props.intValue(kOfxImageClipPropOptional) != 0;
        d.clips.push_back(std::move(ci));
    }
    for (const auto& p : e->paramSet.params)
        d.params.push_back(paramInfo(*p));
    return d;
}

std::unique_ptr<Instance> Bundle::createInstance(int index, const std::string& context,
                                                 const std::map<std::string, std::vector<double>>& restored) {
    std::lock_guard lock(state_->mutex);
    EffectObj* desc = state_->describedIn(index, context);
    if (!desc)
        return nullptr;
    PluginRecord* rec = state_->plugins[static_cast<std::size_t>(index)].get();
    if (desc->props.intValue(kOfxImageEffectPluginPropSingleInstance) && rec->liveInstances.load() > 0) {
        state_->lastError = "Plug-in is single-instance and already has an instance";
        return nullptr;
    }

    auto st = std::make_unique<InstanceState>();
    st->bundle = state_;
    st->plugin = rec;
    st->effect = std::make_unique<EffectObj>();
    EffectObj& e = *st->effect;
    e.instance = st.get();
    e.props.copyFrom(desc->props);
    defineEffectInstanceProps(e.props, context, rec->plugin);
    st->renderSafety =
        desc->props.stringValue(kOfxImageEffectPluginRenderThreadSafety, 0, kOfxImageEffectRenderInstanceSafe);
    for (const auto& dc : desc->clips) {
        auto c = std::make_unique<ClipObj>();
        c->name = dc->name;
        c->effect = &e;
        c->props.copyFrom(dc->props);
        defineClipInstanceProps(c->props);
        e.clips.push_back(std::move(c));
    }
    e.paramSet.props.copyFrom(desc->paramSet.props);
    for (const auto& dp : desc->paramSet.params) {
        auto p = std::make_unique<ParamObj>();
        p->name = dp->name;
        p->type = dp->type;
        p->shape = dp->shape;
        p->effect = &e;
        p->props.copyFrom(dp->props);
        p->props.assignStrings(kOfxPropType, {kOfxTypeParameterInstance});
        if (p->shape.text) {
            p->text = p->props.stringValue(kOfxParamPropDefault);
        } else if (p->shape.dimension > 0) {
            p->values = p->props.numbers(kOfxParamPropDefault);
            p->values.resize(static_cast<std::size_t>(p->shape.dimension), 0.0);
        }
        e.paramSet.params.push_back(std::move(p));
    }
    for (const auto& [name, values] : restored) {
        ParamObj* p = e.paramSet.find(name);
        if (!p) {
            state_->lastError = "The plug-in has no parameter named " + name;
            return nullptr;
        }
        if (storeValues(*p, values) != kOfxStatOK) {
            state_->lastError = "Invalid value for parameter " + name;
            return nullptr;
        }
    }

    const OfxStatus s = st->action(kOfxActionCreateInstance);
    if (!succeeded(s)) {
        state_->lastError = "kOfxActionCreateInstance failed: " + statusText(s);
        purgeImages(st.get());
        return nullptr;
    }
    ++rec->liveInstances;
    st->live = true;
    auto impl = std::make_unique<Instance::Impl>();
    impl->state = std::move(st);
    return std::unique_ptr<Instance>(new Instance(std::move(impl)));
}

// ---- instance state -----------------------------------------------------

OfxStatus InstanceState::action(const char* name, PropertySet* inArgs, PropertySet* outArgs) {
    const OfxStatus s = callAction(plugin->plugin, name, effect->handle(), inArgs, outArgs);
    lastStatus = s;
    return s;
}

OfxStatus InstanceState::paramChanged(const std::string& param, const char* reason) {
    // Nothing is sent while the plug-in builds or tears down its instance, and
    // a plug-in that answers every change with another edit is cut off.
    if (!live.load() || changeDepth.load() >= 16)
        return kOfxStatOK;
    ++changeDepth;
    PropertySet reasonArgs(false);
    reasonArgs.defineString(kOfxPropChangeReason, {reason});
    PropertySet args(false);
    args.defineString(kOfxPropType, {kOfxTypeParameter});
    args.defineString(kOfxPropName, {param});
    args.defineString(kOfxPropChangeReason, {reason});
    args.defineDouble(kOfxPropTime, {0.0});
    args.defineDouble(kOfxImageEffectPropRenderScale, {1.0, 1.0});
    action(kOfxActionBeginInstanceChanged, &reasonArgs);
    const OfxStatus s = action(kOfxActionInstanceChanged, &args);
    action(kOfxActionEndInstanceChanged, &reasonArgs);
    --changeDepth;
    return succeeded(s) ? kOfxStatOK : s;
}

// ---- Instance -----------------------------------------------------------

Instance::Instance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Instance::~Instance() {
    InstanceState& st = *impl_->state;
    st.live = false;
    st.action(kOfxActionDestroyInstance);
    --st.plugin->liveInstances;
    purgeImages(&st);
}

OfxStatus Instance::lastStatus() const { return impl_->state->lastStatus.load(); }

std::vector<double> Instance::value(const std::string& name) const {
    EffectObj& e = *impl_->state->effect;
    ParamObj* p = e.paramSet.find(name);
    if (!p)
        return {};
    std::lock_guard lock(e.valuesMutex);
    return p->values;
}

std::string Instance::stringValue(const std::string& name) const {
    EffectObj& e = *impl_->state->effect;
    ParamObj* p = e.paramSet.find(name);
    if (!p)
        return {};
    std::lock_guard lock(e.valuesMutex);
    return p->text;
}

OfxStatus Instance::setValue(const std::string& name, std::vector<double> v) {
    ParamObj* p = impl_->state->effect->paramSet.find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (OfxStatus s = storeValues(*p, std::move(v)); s != kOfxStatOK)
        return s;
    return impl_->state->paramChanged(name, kOfxChangeUserEdited);
}

OfxStatus Instance::setStringValue(const std::string& name, const std::string& v) {
    ParamObj* p = impl_->state->effect->paramSet.find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (OfxStatus s = storeText(*p, v); s != kOfxStatOK)
        return s;
    return impl_->state->paramChanged(name, kOfxChangeUserEdited);
}

OfxStatus Instance::pressButton(const std::string& name) {
    ParamObj* p = impl_->state->effect->paramSet.find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (p->type != kOfxParamTypePushButton)
        return kOfxStatErrValue;
    return impl_->state->paramChanged(name, kOfxChangeUserEdited);
}

bool Instance::enabled(const std::string& name) const {
    ParamObj* p = impl_->state->effect->paramSet.find(name);
    return p && p->props.intValue(kOfxParamPropEnabled, 0, 1) != 0;
}

bool Instance::secret(const std::string& name) const {
    ParamObj* p = impl_->state->effect->paramSet.find(name);
    return p && p->props.intValue(kOfxParamPropSecret, 0, 0) != 0;
}

OfxStatus Instance::syncPrivateData() { return impl_->state->action(kOfxActionSyncPrivateData); }

void Instance::setClipImage(const std::string& name, std::shared_ptr<ImageBuffer> image) {
    EffectObj& e = *impl_->state->effect;
    ClipObj* c = e.findClip(name);
    if (!c)
        return;
    const char* depth = image ? depthName(image->depth()) : kOfxBitDepthNone;
    c->props.assignInts(kOfxImageClipPropConnected, {image ? 1 : 0});
    c->props.assignStrings(kOfxImageEffectPropPixelDepth, {depth});
    c->props.assignStrings(kOfxImageClipPropUnmappedPixelDepth, {depth});
    if (image) {
        const RectI b = image->bounds();
        c->props.assignDoubles(kOfxImageEffectPropFrameRange, {0.0, 0.0});
        e.props.assignDoubles(kOfxImageEffectPropProjectSize, {double(b.x2 - b.x1), double(b.y2 - b.y1)});
        e.props.assignDoubles(kOfxImageEffectPropProjectExtent, {double(b.x2 - b.x1), double(b.y2 - b.y1)});
    }
    std::lock_guard lock(c->mutex);
    c->image = std::move(image);
}

namespace {

void defineSequenceArgs(PropertySet& in, double first, double last, double sx, double sy) {
    in.defineDouble(kOfxImageEffectPropFrameRange, {first, last});
    in.defineDouble(kOfxImageEffectPropFrameStep, {1.0});
    in.defineInt(kOfxPropIsInteractive, {0});
    in.defineDouble(kOfxImageEffectPropRenderScale, {sx, sy});
    in.defineInt(kOfxImageEffectPropSequentialRenderStatus, {0});
    in.defineInt(kOfxImageEffectPropInteractiveRenderStatus, {0});
}

}  // namespace

OfxStatus Instance::beginSequenceRender(double first, double last, double sx, double sy) {
    PropertySet in(false);
    defineSequenceArgs(in, first, last, sx, sy);
    const OfxStatus s = impl_->state->action(kOfxImageEffectActionBeginSequenceRender, &in);
    return succeeded(s) ? kOfxStatOK : s;
}

OfxStatus Instance::endSequenceRender(double first, double last, double sx, double sy) {
    PropertySet in(false);
    defineSequenceArgs(in, first, last, sx, sy);
    const OfxStatus s = impl_->state->action(kOfxImageEffectActionEndSequenceRender, &in);
    return succeeded(s) ? kOfxStatOK : s;
}

OfxStatus Instance::render(double time, RectI window, double sx, double sy) {
    InstanceState& st = *impl_->state;
    PropertySet in(false);
    in.defineDouble(kOfxPropTime, {time});
    in.defineString(kOfxImageEffectPropFieldToRender, {kOfxImageFieldNone});
    in.defineInt(kOfxImageEffectPropRenderWindow, {window.x1, window.y1, window.x2, window.y2});
    in.defineDouble(kOfxImageEffectPropRenderScale, {sx, sy});
    in.defineInt(kOfxImageEffectPropSequentialRenderStatus, {0});
    in.defineInt(kOfxImageEffectPropInteractiveRenderStatus, {0});
    in.defineInt("OfxImageEffectPropRenderQualityDraft", {0});

    // Serialise where the plug-in declared less than full thread safety.
    std::unique_lock<std::mutex> serial;
    if (st.renderSafety == kOfxImageEffectRenderUnsafe)
        serial = std::unique_lock(st.plugin->renderMutex);
    else if (st.renderSafety != kOfxImageEffectRenderFullySafe)
        serial = std::unique_lock(st.instanceRenderMutex);

    RenderContext& ctx = currentRenderContext();
    const RenderContext saved = ctx;
    ctx = RenderContext{sx, sy};
    const OfxStatus s = st.action(kOfxImageEffectActionRender, &in);
    ctx = saved;
    return succeeded(s) ? kOfxStatOK : s;
}

void Instance::setAbort(bool abort) { impl_->state->abort = abort; }

std::vector<MessageRecord> Instance::messages() const {
    std::lock_guard lock(impl_->state->messagesMutex);
    return impl_->state->messages;
}

std::optional<MessageRecord> Instance::persistentMessage() const {
    std::lock_guard lock(impl_->state->messagesMutex);
    return impl_->state->persistent;
}

int Instance::outstandingImages() const { return impl_->state->outstanding.load(); }

void* Instance::handle() const { return impl_->state->effect.get(); }

}  // namespace ofxhost
