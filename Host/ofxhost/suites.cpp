// The suites handed to plug-ins: property, image effect, parameter, memory,
// multi-thread and message. No exception leaves a suite function.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <set>
#include <thread>
#include <unordered_map>

#include "objects.h"
#include "ofxMemory.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxProperty.h"

namespace ofxhost::detail {

namespace {

// Runs f, turning any escaping exception into a status.
template <typename F>
OfxStatus guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (...) {
        return kOfxStatFailed;
    }
}

// A clip's or parameter's handle and property set, looked up by name.
template <typename Object, typename Handle>
OfxStatus namedHandles(Object* found, Handle* handle, OfxPropertySetHandle* props) {
    if (!found)
        return kOfxStatErrUnknown;
    if (handle)
        *handle = found->handle();
    if (props)
        *props = found->props.handle();
    return kOfxStatOK;
}

// ---- live effects and fetched images ------------------------------------

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::set<const void*>& liveEffects() {
    static std::set<const void*> s;
    return s;
}
std::unordered_map<PropertySet*, std::unique_ptr<ImageObj>>& liveImages() {
    static std::unordered_map<PropertySet*, std::unique_ptr<ImageObj>> m;
    return m;
}

std::mutex& orphanMutex() {
    static std::mutex m;
    return m;
}
std::vector<MessageRecord>& orphanMessages() {
    static std::vector<MessageRecord> v;
    return v;
}

thread_local RenderContext tlsRenderContext;
thread_local unsigned tlsThreadIndex = 0;
thread_local bool tlsSpawned = false;

}  // namespace

RenderContext& currentRenderContext() { return tlsRenderContext; }

EffectObj::EffectObj() {
    paramSet.effect = this;
    std::lock_guard lock(registryMutex());
    liveEffects().insert(this);
}

EffectObj::~EffectObj() {
    {
        std::lock_guard lock(registryMutex());
        liveEffects().erase(this);
    }
    magic = 0;
}

EffectObj* EffectObj::from(OfxImageEffectHandle h) {
    auto* e = reinterpret_cast<EffectObj*>(h);
    return (e && e->magic == kMagic) ? e : nullptr;
}

EffectObj* EffectObj::fromLive(const void* h) {
    if (!h)
        return nullptr;
    std::lock_guard lock(registryMutex());
    return liveEffects().count(h) ? static_cast<EffectObj*>(const_cast<void*>(h)) : nullptr;
}

ClipObj* EffectObj::findClip(const std::string& name) const {
    for (const auto& c : clips)
        if (c->name == name)
            return c.get();
    return nullptr;
}

ParamObj* ParamObj::from(OfxParamHandle h) {
    auto* p = reinterpret_cast<ParamObj*>(h);
    return (p && p->magic == kMagic) ? p : nullptr;
}

ParamSetObj* ParamSetObj::from(OfxParamSetHandle h) {
    auto* p = reinterpret_cast<ParamSetObj*>(h);
    return (p && p->magic == kMagic) ? p : nullptr;
}

ParamObj* ParamSetObj::find(const std::string& name) const {
    for (const auto& p : params)
        if (p->name == name)
            return p.get();
    return nullptr;
}

ClipObj* ClipObj::from(OfxImageClipHandle h) {
    auto* c = reinterpret_cast<ClipObj*>(h);
    return (c && c->magic == kMagic) ? c : nullptr;
}

OfxPropertySetHandle registerImage(std::unique_ptr<ImageObj> image) {
    PropertySet* key = &image->props;
    if (image->owner)
        ++image->owner->outstanding;
    std::lock_guard lock(registryMutex());
    liveImages().emplace(key, std::move(image));
    return key->handle();
}

bool releaseImage(OfxPropertySetHandle handle) {
    std::unique_ptr<ImageObj> image;
    {
        std::lock_guard lock(registryMutex());
        auto it = liveImages().find(reinterpret_cast<PropertySet*>(handle));
        if (it == liveImages().end())
            return false;
        image = std::move(it->second);
        liveImages().erase(it);
    }
    if (image->owner)
        --image->owner->outstanding;
    return true;
}

void purgeImages(InstanceState* owner) {
    std::vector<std::unique_ptr<ImageObj>> leaked;
    std::lock_guard lock(registryMutex());
    for (auto it = liveImages().begin(); it != liveImages().end();) {
        if (it->second->owner == owner) {
            leaked.push_back(std::move(it->second));
            it = liveImages().erase(it);
        } else {
            ++it;
        }
    }
}

// ---- parameter values ---------------------------------------------------

OfxStatus storeValues(ParamObj& p, std::vector<double> v) {
    if (!p.effect || !p.effect->instance)
        return kOfxStatErrBadHandle;
    if (p.shape.text || p.shape.dimension == 0)
        return kOfxStatErrValue;
    if (static_cast<int>(v.size()) != p.shape.dimension)
        return kOfxStatErrValue;
    for (double d : v)
        if (!std::isfinite(d))
            return kOfxStatErrValue;
    if (p.type == kOfxParamTypeChoice) {
        const int options = static_cast<int>(p.props.strings(kOfxParamPropChoiceOption).size());
        const double index = std::round(v[0]);
        if (index < 0 || index >= options)
            return kOfxStatErrValue;
        v[0] = index;
    } else if (p.type == kOfxParamTypeBoolean) {
        v[0] = v[0] != 0.0 ? 1.0 : 0.0;
    } else {
        const auto lo = p.props.numbers(kOfxParamPropMin);
        const auto hi = p.props.numbers(kOfxParamPropMax);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (p.shape.integer)
                v[i] = std::round(v[i]);
            if (i < lo.size() && v[i] < lo[i])
                v[i] = lo[i];
            if (i < hi.size() && v[i] > hi[i])
                v[i] = hi[i];
        }
    }
    std::lock_guard lock(p.effect->valuesMutex);
    p.values = std::move(v);
    return kOfxStatOK;
}

OfxStatus storeText(ParamObj& p, const std::string& text) {
    if (!p.effect || !p.effect->instance)
        return kOfxStatErrBadHandle;
    if (!p.shape.text)
        return kOfxStatErrValue;
    std::lock_guard lock(p.effect->valuesMutex);
    p.text = text;
    return kOfxStatOK;
}

namespace {

// ---- property suite -----------------------------------------------------

#define OFXHOST_PROPS(h)                     \
    PropertySet* set = PropertySet::from(h); \
    if (!set)                                \
    return kOfxStatErrBadHandle

OfxStatus propSetPointer(OfxPropertySetHandle h, const char* n, int i, void* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setPointer(n, i, v, true);
    });
}
OfxStatus propSetString(OfxPropertySetHandle h, const char* n, int i, const char* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        if (!v)
            return kOfxStatErrValue;
        return set->setString(n, i, v, true);
    });
}
OfxStatus propSetDouble(OfxPropertySetHandle h, const char* n, int i, double v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setDouble(n, i, v, true);
    });
}
OfxStatus propSetInt(OfxPropertySetHandle h, const char* n, int i, int v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setInt(n, i, v, true);
    });
}
OfxStatus propSetPointerN(OfxPropertySetHandle h, const char* n, int c, void* const* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setPointerN(n, c, v, true);
    });
}
OfxStatus propSetStringN(OfxPropertySetHandle h, const char* n, int c, const char* const* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setStringN(n, c, v, true);
    });
}
OfxStatus propSetDoubleN(OfxPropertySetHandle h, const char* n, int c, const double* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setDoubleN(n, c, v, true);
    });
}
OfxStatus propSetIntN(OfxPropertySetHandle h, const char* n, int c, const int* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->setIntN(n, c, v, true);
    });
}
OfxStatus propGetPointer(OfxPropertySetHandle h, const char* n, int i, void** v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getPointer(n, i, v);
    });
}
OfxStatus propGetString(OfxPropertySetHandle h, const char* n, int i, char** v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getString(n, i, v);
    });
}
OfxStatus propGetDouble(OfxPropertySetHandle h, const char* n, int i, double* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getDouble(n, i, v);
    });
}
OfxStatus propGetInt(OfxPropertySetHandle h, const char* n, int i, int* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getInt(n, i, v);
    });
}
OfxStatus propGetPointerN(OfxPropertySetHandle h, const char* n, int c, void** v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getPointerN(n, c, v);
    });
}
OfxStatus propGetStringN(OfxPropertySetHandle h, const char* n, int c, char** v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getStringN(n, c, v);
    });
}
OfxStatus propGetDoubleN(OfxPropertySetHandle h, const char* n, int c, double* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getDoubleN(n, c, v);
    });
}
OfxStatus propGetIntN(OfxPropertySetHandle h, const char* n, int c, int* v) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->getIntN(n, c, v);
    });
}
OfxStatus propReset(OfxPropertySetHandle h, const char* n) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->reset(n, true);
    });
}
OfxStatus propGetDimension(OfxPropertySetHandle h, const char* n, int* count) {
    return guarded([&] {
        OFXHOST_PROPS(h);
        return set->dimension(n, count);
    });
}

#undef OFXHOST_PROPS

const OfxPropertySuiteV1 gPropertySuite = {
    propSetPointer,  propSetString,  propSetDouble,  propSetInt,    propSetPointerN, propSetStringN,
    propSetDoubleN,  propSetIntN,    propGetPointer, propGetString, propGetDouble,   propGetInt,
    propGetPointerN, propGetStringN, propGetDoubleN, propGetIntN,   propReset,       propGetDimension};

// ---- image effect suite -------------------------------------------------

OfxStatus getPropertySet(OfxImageEffectHandle h, OfxPropertySetHandle* out) {
    return guarded([&] {
        EffectObj* e = EffectObj::from(h);
        if (!e || !out)
            return kOfxStatErrBadHandle;
        *out = e->props.handle();
        return kOfxStatOK;
    });
}

OfxStatus getParamSet(OfxImageEffectHandle h, OfxParamSetHandle* out) {
    return guarded([&] {
        EffectObj* e = EffectObj::from(h);
        if (!e || !out)
            return kOfxStatErrBadHandle;
        *out = e->paramSet.handle();
        return kOfxStatOK;
    });
}

OfxStatus clipDefine(OfxImageEffectHandle h, const char* name, OfxPropertySetHandle* out) {
    return guarded([&] {
        EffectObj* e = EffectObj::from(h);
        if (!e || !name || e->instance)
            return kOfxStatErrBadHandle;  // clips are defined on descriptors only
        ClipObj* clip = e->findClip(name);
        if (!clip) {
            auto c = std::make_unique<ClipObj>();
            c->name = name;
            c->effect = e;
            defineClipDescriptorProps(c->props, name);
            clip = c.get();
            e->clips.push_back(std::move(c));
        }
        if (out)
            *out = clip->props.handle();
        return kOfxStatOK;
    });
}

OfxStatus clipGetHandle(OfxImageEffectHandle h, const char* name, OfxImageClipHandle* clip,
                        OfxPropertySetHandle* props) {
    return guarded([&] {
        EffectObj* e = EffectObj::from(h);
        if (!e || !name)
            return kOfxStatErrBadHandle;
        return namedHandles(e->findClip(name), clip, props);
    });
}

OfxStatus clipGetPropertySet(OfxImageClipHandle h, OfxPropertySetHandle* out) {
    return guarded([&] {
        ClipObj* c = ClipObj::from(h);
        if (!c || !out)
            return kOfxStatErrBadHandle;
        *out = c->props.handle();
        return kOfxStatOK;
    });
}

OfxStatus clipGetImage(OfxImageClipHandle h, OfxTime, const OfxRectD*, OfxPropertySetHandle* out) {
    return guarded([&] {
        ClipObj* c = ClipObj::from(h);
        if (!c || !out)
            return kOfxStatErrBadHandle;
        *out = nullptr;
        if (!c->effect || !c->effect->instance)
            return kOfxStatErrBadHandle;
        std::shared_ptr<ImageBuffer> buffer;
        {
            std::lock_guard lock(c->mutex);
            buffer = c->image;
        }
        if (!buffer)
            return kOfxStatFailed;  // disconnected or no image at that time
        auto image = std::make_unique<ImageObj>();
        const RenderContext& ctx = currentRenderContext();
        defineImageProps(image->props, *buffer, ctx.scaleX, ctx.scaleY);
        image->buffer = std::move(buffer);
        image->owner = c->effect->instance;
        *out = registerImage(std::move(image));
        return kOfxStatOK;
    });
}

OfxStatus clipReleaseImage(OfxPropertySetHandle h) {
    return guarded([&] { return releaseImage(h) ? kOfxStatOK : kOfxStatErrBadHandle; });
}

OfxStatus clipGetRegionOfDefinition(OfxImageClipHandle h, OfxTime, OfxRectD* bounds) {
    return guarded([&] {
        ClipObj* c = ClipObj::from(h);
        if (!c || !bounds)
            return kOfxStatErrBadHandle;
        std::lock_guard lock(c->mutex);
        const RectI b = c->image ? c->image->bounds() : RectI{};
        *bounds = OfxRectD{double(b.x1), double(b.y1), double(b.x2), double(b.y2)};
        return kOfxStatOK;
    });
}

int abortRender(OfxImageEffectHandle h) {
    EffectObj* e = EffectObj::from(h);
    return (e && e->instance && e->instance->abort.load()) ? 1 : 0;
}

struct ImageMemory {
    static constexpr std::uint32_t kMagic = 0x4F46494D;
    std::uint32_t magic = kMagic;
    std::vector<unsigned char> bytes;
    std::atomic<int> locks{0};
    ~ImageMemory() { magic = 0; }
};

ImageMemory* imageMemoryFrom(OfxImageMemoryHandle h) {
    auto* m = reinterpret_cast<ImageMemory*>(h);
    return (m && m->magic == ImageMemory::kMagic) ? m : nullptr;
}

OfxStatus imageMemoryAlloc(OfxImageEffectHandle, size_t n, OfxImageMemoryHandle* out) {
    return guarded([&] {
        if (!out)
            return kOfxStatErrBadHandle;
        auto m = std::make_unique<ImageMemory>();
        m->bytes.resize(n ? n : 1);
        *out = reinterpret_cast<OfxImageMemoryHandle>(m.release());
        return kOfxStatOK;
    });
}

OfxStatus imageMemoryFree(OfxImageMemoryHandle h) {
    return guarded([&] {
        ImageMemory* m = imageMemoryFrom(h);
        if (!m)
            return kOfxStatErrBadHandle;
        delete m;
        return kOfxStatOK;
    });
}

OfxStatus imageMemoryLock(OfxImageMemoryHandle h, void** ptr) {
    return guarded([&] {
        ImageMemory* m = imageMemoryFrom(h);
        if (!m || !ptr)
            return kOfxStatErrBadHandle;
        ++m->locks;
        *ptr = m->bytes.data();
        return kOfxStatOK;
    });
}

OfxStatus imageMemoryUnlock(OfxImageMemoryHandle h) {
    return guarded([&] {
        ImageMemory* m = imageMemoryFrom(h);
        if (!m)
            return kOfxStatErrBadHandle;
        if (m->locks.load() > 0)
            --m->locks;
        return kOfxStatOK;
    });
}

const OfxImageEffectSuiteV1 gImageEffectSuite = {
    getPropertySet,     getParamSet,      clipDefine,       clipGetHandle,
    clipGetPropertySet, clipGetImage,     clipReleaseImage, clipGetRegionOfDefinition,
    abortRender,        imageMemoryAlloc, imageMemoryFree,  imageMemoryLock,
    imageMemoryUnlock};

// ---- parameter suite ----------------------------------------------------

OfxStatus paramDefine(OfxParamSetHandle h, const char* type, const char* name, OfxPropertySetHandle* out) {
    return guarded([&] {
        ParamSetObj* set = ParamSetObj::from(h);
        if (!set || !type || !name || (set->effect && set->effect->instance))
            return kOfxStatErrBadHandle;
        if (set->find(name))
            return kOfxStatErrExists;
        const auto shape = paramShape(type);
        if (!shape)
            return kOfxStatErrUnknown;
        auto p = std::make_unique<ParamObj>();
        p->name = name;
        p->type = type;
        p->shape = *shape;
        p->effect = set->effect;
        defineParamDescriptorProps(p->props, type, name);
        if (out)
            *out = p->props.handle();
        set->params.push_back(std::move(p));
        return kOfxStatOK;
    });
}

OfxStatus paramGetHandle(OfxParamSetHandle h, const char* name, OfxParamHandle* param, OfxPropertySetHandle* props) {
    return guarded([&] {
        ParamSetObj* set = ParamSetObj::from(h);
        if (!set || !name)
            return kOfxStatErrBadHandle;
        return namedHandles(set->find(name), param, props);
    });
}

OfxStatus paramSetGetPropertySet(OfxParamSetHandle h, OfxPropertySetHandle* out) {
    return guarded([&] {
        ParamSetObj* set = ParamSetObj::from(h);
        if (!set || !out)
            return kOfxStatErrBadHandle;
        *out = set->props.handle();
        return kOfxStatOK;
    });
}

OfxStatus paramGetPropertySet(OfxParamHandle h, OfxPropertySetHandle* out) {
    return guarded([&] {
        ParamObj* p = ParamObj::from(h);
        if (!p || !out)
            return kOfxStatErrBadHandle;
        *out = p->props.handle();
        return kOfxStatOK;
    });
}

// Writes the current value through the caller's pointers.
OfxStatus readValue(ParamObj* p, va_list ap) {
    if (!p || !p->effect || !p->effect->instance)
        return kOfxStatErrBadHandle;
    std::lock_guard lock(p->effect->valuesMutex);
    if (p->shape.text) {
        char** out = va_arg(ap, char**);
        if (!out)
            return kOfxStatErrBadHandle;
        *out = const_cast<char*>(p->text.c_str());
        return kOfxStatOK;
    }
    if (p->shape.dimension == 0)
        return kOfxStatErrBadHandle;
    for (int i = 0; i < p->shape.dimension; ++i) {
        const double v = i < static_cast<int>(p->values.size()) ? p->values[static_cast<std::size_t>(i)] : 0.0;
        if (p->shape.integer) {
            int* out = va_arg(ap, int*);
            if (!out)
                return kOfxStatErrBadHandle;
            *out = static_cast<int>(v);
        } else {
            double* out = va_arg(ap, double*);
            if (!out)
                return kOfxStatErrBadHandle;
            *out = v;
        }
    }
    return kOfxStatOK;
}

// Reads the new value from the caller's arguments, stores it and tells the
// plug-in, as hosts do after a plug-in's own edit.
OfxStatus writeValue(ParamObj* p, va_list ap) {
    if (!p || !p->effect || !p->effect->instance)
        return kOfxStatErrBadHandle;
    OfxStatus status;
    if (p->shape.text) {
        const char* text = va_arg(ap, const char*);
        status = storeText(*p, text ? text : "");
    } else {
        if (p->shape.dimension == 0)
            return kOfxStatErrBadHandle;
        std::vector<double> v;
        for (int i = 0; i < p->shape.dimension; ++i)
            v.push_back(p->shape.integer ? static_cast<double>(va_arg(ap, int)) : va_arg(ap, double));
        status = storeValues(*p, std::move(v));
    }
    if (status != kOfxStatOK)
        return status;
    p->effect->instance->paramChanged(p->name, kOfxChangePluginEdited);
    return kOfxStatOK;
}

OfxStatus paramGetValue(OfxParamHandle h, ...) {
    va_list ap;
    va_start(ap, h);
    const OfxStatus s = guarded([&] { return readValue(ParamObj::from(h), ap); });
    va_end(ap);
    return s;
}

OfxStatus paramGetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
    va_list ap;
    va_start(ap, time);
    const OfxStatus s = guarded([&] { return readValue(ParamObj::from(h), ap); });
    va_end(ap);
    return s;
}

// Without animation a value is constant in time: its integral over a span is
// value * span, and its derivative is the integral's case of span 0.
OfxStatus constantOverTime(OfxParamHandle h, double span, va_list ap) {
    ParamObj* p = ParamObj::from(h);
    if (!p || !p->effect || !p->effect->instance)
        return kOfxStatErrBadHandle;
    if (p->shape.text || p->shape.integer || p->shape.dimension == 0)
        return kOfxStatErrBadHandle;
    std::lock_guard lock(p->effect->valuesMutex);
    for (int i = 0; i < p->shape.dimension; ++i) {
        const double value = i < static_cast<int>(p->values.size()) ? p->values[static_cast<std::size_t>(i)] : 0.0;
        if (double* out = va_arg(ap, double*))
            *out = span == 0.0 ? 0.0 : value * span;
    }
    return kOfxStatOK;
}

OfxStatus paramGetDerivative(OfxParamHandle h, OfxTime time, ...) {
    va_list ap;
    va_start(ap, time);
    const OfxStatus s = guarded([&] { return constantOverTime(h, 0.0, ap); });
    va_end(ap);
    return s;
}

OfxStatus paramGetIntegral(OfxParamHandle h, OfxTime t1, OfxTime t2, ...) {
    va_list ap;
    va_start(ap, t2);
    const OfxStatus s = guarded([&] { return constantOverTime(h, t2 - t1, ap); });
    va_end(ap);
    return s;
}

OfxStatus paramSetValue(OfxParamHandle h, ...) {
    va_list ap;
    va_start(ap, h);
    const OfxStatus s = guarded([&] { return writeValue(ParamObj::from(h), ap); });
    va_end(ap);
    return s;
}

OfxStatus paramSetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
    va_list ap;
    va_start(ap, time);
    const OfxStatus s = guarded([&] { return writeValue(ParamObj::from(h), ap); });
    va_end(ap);
    return s;
}

OfxStatus paramGetNumKeys(OfxParamHandle h, unsigned int* n) {
    if (!ParamObj::from(h) || !n)
        return kOfxStatErrBadHandle;
    *n = 0;
    return kOfxStatOK;
}
OfxStatus paramGetKeyTime(OfxParamHandle h, unsigned int, OfxTime*) {
    return ParamObj::from(h) ? kOfxStatErrBadIndex : kOfxStatErrBadHandle;
}
OfxStatus paramGetKeyIndex(OfxParamHandle h, OfxTime, int, int*) {
    return ParamObj::from(h) ? kOfxStatFailed : kOfxStatErrBadHandle;
}
OfxStatus paramDeleteKey(OfxParamHandle h, OfxTime) {
    return ParamObj::from(h) ? kOfxStatErrBadIndex : kOfxStatErrBadHandle;
}
OfxStatus paramDeleteAllKeys(OfxParamHandle h) { return ParamObj::from(h) ? kOfxStatOK : kOfxStatErrBadHandle; }

OfxStatus paramCopy(OfxParamHandle to, OfxParamHandle from, OfxTime, const OfxRangeD*) {
    return guarded([&] {
        ParamObj* t = ParamObj::from(to);
        ParamObj* f = ParamObj::from(from);
        if (!t || !f || !f->effect || !f->effect->instance)
            return kOfxStatErrBadHandle;
        if (t->type != f->type)
            return kOfxStatErrValue;
        std::vector<double> values;
        std::string text;
        {
            std::lock_guard lock(f->effect->valuesMutex);
            values = f->values;
            text = f->text;
        }
        const OfxStatus s = t->shape.text ? storeText(*t, text) : storeValues(*t, values);
        if (s == kOfxStatOK)
            t->effect->instance->paramChanged(t->name, kOfxChangePluginEdited);
        return s;
    });
}

OfxStatus paramEditBegin(OfxParamSetHandle h, const char*) {
    return ParamSetObj::from(h) ? kOfxStatOK : kOfxStatErrBadHandle;
}
OfxStatus paramEditEnd(OfxParamSetHandle h) { return ParamSetObj::from(h) ? kOfxStatOK : kOfxStatErrBadHandle; }

const OfxParameterSuiteV1 gParameterSuite = {paramDefine,         paramGetHandle,   paramSetGetPropertySet,
                                             paramGetPropertySet, paramGetValue,    paramGetValueAtTime,
                                             paramGetDerivative,  paramGetIntegral, paramSetValue,
                                             paramSetValueAtTime, paramGetNumKeys,  paramGetKeyTime,
                                             paramGetKeyIndex,    paramDeleteKey,   paramDeleteAllKeys,
                                             paramCopy,           paramEditBegin,   paramEditEnd};

// ---- memory suite -------------------------------------------------------

OfxStatus memoryAlloc(void*, size_t n, void** out) {
    if (!out)
        return kOfxStatErrBadHandle;
    *out = std::malloc(n ? n : 1);
    return *out ? kOfxStatOK : kOfxStatErrMemory;
}

OfxStatus memoryFree(void* data) {
    std::free(data);
    return kOfxStatOK;
}

const OfxMemorySuiteV1 gMemorySuite = {memoryAlloc, memoryFree};

// ---- multi-thread suite -------------------------------------------------

unsigned cpuCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

OfxStatus multiThread(OfxThreadFunctionV1 func, unsigned int nThreads, void* arg) {
    if (!func)
        return kOfxStatErrBadHandle;
    const unsigned n = std::min(nThreads ? nThreads : cpuCount(), 256u);
    const RenderContext parent = currentRenderContext();
    std::vector<std::thread> threads;
    OfxStatus status = kOfxStatOK;
    try {
        threads.reserve(n);
        for (unsigned i = 0; i < n; ++i)
            threads.emplace_back([=] {
                tlsThreadIndex = i;
                tlsSpawned = true;
                tlsRenderContext = parent;
                func(i, n, arg);
            });
    } catch (...) {
        status = kOfxStatFailed;  // not every slice ran
    }
    for (auto& t : threads)
        t.join();
    return status;
}

OfxStatus multiThreadNumCPUs(unsigned int* n) {
    if (!n)
        return kOfxStatErrBadHandle;
    *n = cpuCount();
    return kOfxStatOK;
}

OfxStatus multiThreadIndex(unsigned int* index) {
    if (!index)
        return kOfxStatErrBadHandle;
    *index = tlsSpawned ? tlsThreadIndex : 0;
    return tlsSpawned ? kOfxStatOK : kOfxStatFailed;
}

int multiThreadIsSpawnedThread() { return tlsSpawned ? 1 : 0; }

// A recursive mutex that knows its owner, so that a wrong unlock is refused
// rather than undefined.
struct MutexObj {
    static constexpr std::uint32_t kMagic = 0x4F464D58;
    std::uint32_t magic = kMagic;
    std::recursive_mutex mutex;
    std::atomic<std::thread::id> owner{};
    int depth = 0;  // touched only by the owner
    ~MutexObj() { magic = 0; }
};

MutexObj* mutexFrom(OfxMutexHandle h) {
    auto* m = reinterpret_cast<MutexObj*>(h);
    return (m && m->magic == MutexObj::kMagic) ? m : nullptr;
}

void lockHeld(MutexObj* m) {
    m->mutex.lock();
    m->owner = std::this_thread::get_id();
    ++m->depth;
}

OfxStatus mutexCreate(OfxMutexHandle* out, int lockCount) {
    return guarded([&] {
        if (!out)
            return kOfxStatErrBadHandle;
        auto m = std::make_unique<MutexObj>();
        for (int i = 0; i < lockCount; ++i)
            lockHeld(m.get());
        *out = reinterpret_cast<OfxMutexHandle>(m.release());
        return kOfxStatOK;
    });
}

OfxStatus mutexDestroy(const OfxMutexHandle h) {
    MutexObj* m = mutexFrom(h);
    if (!m)
        return kOfxStatErrBadHandle;
    if (m->owner.load() == std::this_thread::get_id())
        while (m->depth > 0) {
            --m->depth;
            m->mutex.unlock();
        }
    delete m;
    return kOfxStatOK;
}

OfxStatus mutexLock(const OfxMutexHandle h) {
    MutexObj* m = mutexFrom(h);
    if (!m)
        return kOfxStatErrBadHandle;
    lockHeld(m);
    return kOfxStatOK;
}

OfxStatus mutexUnLock(const OfxMutexHandle h) {
    MutexObj* m = mutexFrom(h);
    if (!m)
        return kOfxStatErrBadHandle;
    if (m->owner.load() != std::this_thread::get_id() || m->depth == 0)
        return kOfxStatErrBadHandle;
    if (--m->depth == 0)
        m->owner = std::thread::id{};
    m->mutex.unlock();
    return kOfxStatOK;
}

OfxStatus mutexTryLock(const OfxMutexHandle h) {
    MutexObj* m = mutexFrom(h);
    if (!m)
        return kOfxStatErrBadHandle;
    if (!m->mutex.try_lock())
        return kOfxStatFailed;
    m->owner = std::this_thread::get_id();
    ++m->depth;
    return kOfxStatOK;
}

const OfxMultiThreadSuiteV1 gMultiThreadSuite = {
    multiThread, multiThreadNumCPUs, multiThreadIndex, multiThreadIsSpawnedThread, mutexCreate, mutexDestroy,
    mutexLock,   mutexUnLock,        mutexTryLock};

// ---- message suite ------------------------------------------------------

std::string formatMessage(const char* format, va_list ap) {
    if (!format)
        return {};
    va_list copy;
    va_copy(copy, ap);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return format;
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, ap);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

OfxStatus deliver(void* handle, const char* type, const char* id, const char* format, va_list ap, bool persistent) {
    MessageRecord m{type ? type : "", id ? id : "", formatMessage(format, ap), persistent};
    const bool question = m.type == kOfxMessageQuestion;
    EffectObj* e = EffectObj::fromLive(handle);
    if (e && e->instance) {
        e->instance->record(std::move(m));
    } else {
        std::cerr << "[" << m.type << "] " << m.text << "\n";
        std::lock_guard lock(orphanMutex());
        orphanMessages().push_back(std::move(m));
    }
    // Nobody is there to answer a question in this host.
    return question ? kOfxStatReplyNo : kOfxStatOK;
}

OfxStatus message(void* handle, const char* type, const char* id, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const OfxStatus s = guarded([&] { return deliver(handle, type, id, format, ap, false); });
    va_end(ap);
    return s;
}

OfxStatus setPersistentMessage(void* handle, const char* type, const char* id, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const OfxStatus s = guarded([&] { return deliver(handle, type, id, format, ap, true); });
    va_end(ap);
    return s;
}

OfxStatus clearPersistentMessage(void* handle) {
    return guarded([&] {
        EffectObj* e = EffectObj::fromLive(handle);
        if (!e || !e->instance)
            return kOfxStatErrBadHandle;
        std::lock_guard lock(e->instance->messagesMutex);
        e->instance->persistent.reset();
        return kOfxStatOK;
    });
}

// V2 extends V1 without moving message, so one table answers both.
const OfxMessageSuiteV2 gMessageSuite = {message, setPersistentMessage, clearPersistentMessage};

// ---- host ---------------------------------------------------------------

const void* fetchSuite(OfxPropertySetHandle, const char* name, int version) {
    if (!name)
        return nullptr;
    const std::string_view n(name);
    if (n == kOfxPropertySuite && version == 1)
        return &gPropertySuite;
    if (n == kOfxImageEffectSuite && version == 1)
        return &gImageEffectSuite;
    if (n == kOfxParameterSuite && version == 1)
        return &gParameterSuite;
    if (n == kOfxMemorySuite && version == 1)
        return &gMemorySuite;
    if (n == kOfxMultiThreadSuite && version == 1)
        return &gMultiThreadSuite;
    if (n == kOfxMessageSuite && (version == 1 || version == 2))
        return &gMessageSuite;
    return nullptr;
}

struct HostHolder {
    PropertySet props{false};
    OfxHost host{};
    HostHolder() {
        defineHostProps(props);
        host.host = props.handle();
        host.fetchSuite = fetchSuite;
    }
};

}  // namespace

void InstanceState::record(MessageRecord m) {
    std::lock_guard lock(messagesMutex);
    if (m.persistent)
        persistent = m;
    messages.push_back(std::move(m));
}

}  // namespace ofxhost::detail

namespace ofxhost {

const OfxHost* hostStruct() {
    static detail::HostHolder holder;
    return &holder.host;
}

std::vector<MessageRecord> unattributedMessages() {
    std::lock_guard lock(detail::orphanMutex());
    return detail::orphanMessages();
}

}  // namespace ofxhost
