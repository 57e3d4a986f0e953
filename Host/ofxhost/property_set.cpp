// Property sets: storage and the checks the property suite relies on.
#include "property_set.h"

#include <string>

namespace ofxhost::detail {

namespace {

// The value vector of a property for a C value type.
std::vector<int>& values(Property& p, int*) { return p.ints; }
std::vector<double>& values(Property& p, double*) { return p.doubles; }
std::vector<std::string>& values(Property& p, std::string*) { return p.strings; }
std::vector<void*>& values(Property& p, void**) { return p.pointers; }
const std::vector<int>& values(const Property& p, int*) { return p.ints; }
const std::vector<double>& values(const Property& p, double*) { return p.doubles; }
const std::vector<void*>& values(const Property& p, void**) { return p.pointers; }

template <typename T>
auto& valuesOf(Property& p) {
    return values(p, static_cast<T*>(nullptr));
}
template <typename T>
const auto& valuesOf(const Property& p) {
    return values(p, static_cast<T*>(nullptr));
}

}  // namespace

int Property::size() const {
    switch (type) {
    case PropType::Int: return static_cast<int>(ints.size());
    case PropType::Double: return static_cast<int>(doubles.size());
    case PropType::String: return static_cast<int>(strings.size());
    case PropType::Pointer: return static_cast<int>(pointers.size());
    }
    return 0;
}

PropertySet::PropertySet(const PropertySet& other) : pluginWritable_(other.pluginWritable_) {
    std::lock_guard lock(other.mutex_);
    props_ = other.props_;
}

void PropertySet::copyFrom(const PropertySet& other) {
    if (&other == this)
        return;
    std::scoped_lock lock(mutex_, other.mutex_);
    props_ = other.props_;
}

PropertySet* PropertySet::from(OfxPropertySetHandle handle) {
    auto* set = reinterpret_cast<PropertySet*>(handle);
    return (set && set->magic_ == kMagic) ? set : nullptr;
}

void PropertySet::define(std::string_view name, Property property) {
    std::lock_guard lock(mutex_);
    props_.insert_or_assign(std::string(name), std::move(property));
}

void PropertySet::defineInt(std::string_view name, std::vector<int> v, int dimension) {
    Property p;
    p.type = PropType::Int;
    p.dimension = dimension == 0 ? static_cast<int>(v.size()) : dimension;
    p.defaultInts = v;
    p.ints = std::move(v);
    define(name, std::move(p));
}

void PropertySet::defineDouble(std::string_view name, std::vector<double> v, int dimension) {
    Property p;
    p.type = PropType::Double;
    p.dimension = dimension == 0 ? static_cast<int>(v.size()) : dimension;
    p.defaultDoubles = v;
    p.doubles = std::move(v);
    define(name, std::move(p));
}

void PropertySet::defineString(std::string_view name, std::vector<std::string> v, int dimension) {
    Property p;
    p.type = PropType::String;
    p.dimension = dimension == 0 ? static_cast<int>(v.size()) : dimension;
    p.defaultStrings = v;
    p.strings = std::move(v);
    define(name, std::move(p));
}

void PropertySet::definePointer(std::string_view name, std::vector<void*> v, int dimension) {
    Property p;
    p.type = PropType::Pointer;
    p.dimension = dimension == 0 ? static_cast<int>(v.size()) : dimension;
    p.defaultPointers = v;
    p.pointers = std::move(v);
    define(name, std::move(p));
}

const Property* PropertySet::find(std::string_view name) const {
    auto it = props_.find(name);
    return it == props_.end() ? nullptr : &it->second;
}

Property* PropertySet::find(std::string_view name) {
    auto it = props_.find(name);
    return it == props_.end() ? nullptr : &it->second;
}

// The checks every write makes before it touches a value; the caller holds the mutex.
OfxStatus PropertySet::writable(const char* name, PropType type, bool byPlugin, Property*& p) {
    p = name ? find(name) : nullptr;
    if (!p)
        return kOfxStatErrUnknown;
    if (p->type != type || (byPlugin && !pluginWritable_))
        return kOfxStatErrValue;
    return kOfxStatOK;
}

template <typename T>
OfxStatus PropertySet::setOne(const char* name, int index, T value, PropType type, bool byPlugin) {
    std::lock_guard lock(mutex_);
    Property* p = nullptr;
    if (const OfxStatus st = writable(name, type, byPlugin, p); st != kOfxStatOK)
        return st;
    if (index < 0)
        return kOfxStatErrBadIndex;
    auto& v = valuesOf<T>(*p);
    if (p->dimension >= 0) {
        if (index >= p->dimension)
            return kOfxStatErrBadIndex;
        if (static_cast<int>(v.size()) < p->dimension)
            v.resize(static_cast<std::size_t>(p->dimension));
    } else if (index >= static_cast<int>(v.size())) {
        v.resize(static_cast<std::size_t>(index) + 1);  // variable dimension grows on demand
    }
    v[static_cast<std::size_t>(index)] = std::move(value);
    return kOfxStatOK;
}

template <typename T>
OfxStatus PropertySet::setMany(const char* name, int count, const T* in, PropType type, bool byPlugin) {
    std::lock_guard lock(mutex_);
    Property* p = nullptr;
    if (const OfxStatus st = writable(name, type, byPlugin, p); st != kOfxStatOK)
        return st;
    if (count < 0 || (count > 0 && !in))
        return kOfxStatErrBadIndex;
    auto& v = valuesOf<T>(*p);
    if (p->dimension >= 0) {
        if (count > p->dimension)
            return kOfxStatErrBadIndex;
        v.resize(static_cast<std::size_t>(p->dimension));
    } else {
        v.resize(static_cast<std::size_t>(count));  // a variable property holds exactly what was set
    }
    for (int i = 0; i < count; ++i)
        v[static_cast<std::size_t>(i)] = T(in[i]);
    return kOfxStatOK;
}

template <typename T>
OfxStatus PropertySet::getOne(const char* name, int index, T* out, PropType type) const {
    if (!name)
        return kOfxStatErrUnknown;
    if (!out)
        return kOfxStatErrBadHandle;
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (p->type != type)
        return kOfxStatErrValue;
    const auto& v = valuesOf<T>(*p);
    if (index < 0 || index >= static_cast<int>(v.size()))
        return kOfxStatErrBadIndex;
    *out = v[static_cast<std::size_t>(index)];
    return kOfxStatOK;
}

OfxStatus PropertySet::setInt(const char* n, int i, int v, bool b) { return setOne<int>(n, i, v, PropType::Int, b); }
OfxStatus PropertySet::setDouble(const char* n, int i, double v, bool b) {
    return setOne<double>(n, i, v, PropType::Double, b);
}
OfxStatus PropertySet::setString(const char* n, int i, const char* v, bool b) {
    return setOne<std::string>(n, i, std::string(v ? v : ""), PropType::String, b);
}
OfxStatus PropertySet::setPointer(const char* n, int i, void* v, bool b) {
    return setOne<void*>(n, i, v, PropType::Pointer, b);
}
OfxStatus PropertySet::setIntN(const char* n, int c, const int* v, bool b) {
    return setMany(n, c, v, PropType::Int, b);
}
OfxStatus PropertySet::setDoubleN(const char* n, int c, const double* v, bool b) {
    return setMany(n, c, v, PropType::Double, b);
}
OfxStatus PropertySet::setStringN(const char* n, int c, const char* const* v, bool b) {
    if (v)
        for (int i = 0; i < c; ++i)
            if (!v[i])
                return kOfxStatErrValue;
    std::vector<std::string> copies(v, v + (v && c > 0 ? c : 0));
    return setMany<std::string>(n, c, copies.data(), PropType::String, b);
}
OfxStatus PropertySet::setPointerN(const char* n, int c, void* const* v, bool b) {
    return setMany<void*>(n, c, v, PropType::Pointer, b);
}

OfxStatus PropertySet::getInt(const char* n, int i, int* v) const { return getOne(n, i, v, PropType::Int); }
OfxStatus PropertySet::getDouble(const char* n, int i, double* v) const { return getOne(n, i, v, PropType::Double); }
OfxStatus PropertySet::getPointer(const char* n, int i, void** v) const { return getOne(n, i, v, PropType::Pointer); }

OfxStatus PropertySet::getString(const char* name, int index, char** out) const {
    if (!name)
        return kOfxStatErrUnknown;
    if (!out)
        return kOfxStatErrBadHandle;
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (p->type != PropType::String)
        return kOfxStatErrValue;
    if (index < 0 || index >= static_cast<int>(p->strings.size()))
        return kOfxStatErrBadIndex;
    *out = const_cast<char*>(p->strings[static_cast<std::size_t>(index)].c_str());
    return kOfxStatOK;
}

OfxStatus PropertySet::getIntN(const char* n, int c, int* v) const {
    for (int i = 0; i < c; ++i)
        if (OfxStatus s = getInt(n, i, v ? v + i : nullptr); s != kOfxStatOK)
            return s;
    return kOfxStatOK;
}
OfxStatus PropertySet::getDoubleN(const char* n, int c, double* v) const {
    for (int i = 0; i < c; ++i)
        if (OfxStatus s = getDouble(n, i, v ? v + i : nullptr); s != kOfxStatOK)
            return s;
    return kOfxStatOK;
}
OfxStatus PropertySet::getStringN(const char* n, int c, char** v) const {
    for (int i = 0; i < c; ++i)
        if (OfxStatus s = getString(n, i, v ? v + i : nullptr); s != kOfxStatOK)
            return s;
    return kOfxStatOK;
}
OfxStatus PropertySet::getPointerN(const char* n, int c, void** v) const {
    for (int i = 0; i < c; ++i)
        if (OfxStatus s = getPointer(n, i, v ? v + i : nullptr); s != kOfxStatOK)
            return s;
    return kOfxStatOK;
}

OfxStatus PropertySet::reset(const char* name, bool byPlugin) {
    if (!name)
        return kOfxStatErrUnknown;
    std::lock_guard lock(mutex_);
    Property* p = find(name);
    if (!p)
        return kOfxStatErrUnknown;
    if (byPlugin && !pluginWritable_)
        return kOfxStatErrValue;
    p->ints = p->defaultInts;
    p->doubles = p->defaultDoubles;
    p->strings = p->defaultStrings;
    p->pointers = p->defaultPointers;
    return kOfxStatOK;
}

OfxStatus PropertySet::dimension(const char* name, int* count) const {
    if (!name)
        return kOfxStatErrUnknown;
    if (!count)
        return kOfxStatErrBadHandle;
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p)
        return kOfxStatErrUnknown;
    *count = p->size();
    return kOfxStatOK;
}

template <typename T>
T PropertySet::numberValue(std::string_view name, int index, T fallback) const {
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p || index < 0)
        return fallback;
    // Either numeric type answers, as hosts convert between them.
    if (p->type == PropType::Int && index < static_cast<int>(p->ints.size()))
        return static_cast<T>(p->ints[static_cast<std::size_t>(index)]);
    if (p->type == PropType::Double && index < static_cast<int>(p->doubles.size()))
        return static_cast<T>(p->doubles[static_cast<std::size_t>(index)]);
    return fallback;
}

int PropertySet::intValue(std::string_view name, int index, int fallback) const {
    return numberValue(name, index, fallback);
}

double PropertySet::doubleValue(std::string_view name, int index, double fallback) const {
    return numberValue(name, index, fallback);
}

std::string PropertySet::stringValue(std::string_view name, int index, const std::string& fallback) const {
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p || p->type != PropType::String || index < 0 || index >= static_cast<int>(p->strings.size()))
        return fallback;
    return p->strings[static_cast<std::size_t>(index)];
}

void* PropertySet::pointerValue(std::string_view name, int index) const {
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p || p->type != PropType::Pointer || index < 0 || index >= static_cast<int>(p->pointers.size()))
        return nullptr;
    return p->pointers[static_cast<std::size_t>(index)];
}

std::vector<std::string> PropertySet::strings(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    return (p && p->type == PropType::String) ? p->strings : std::vector<std::string>{};
}

std::vector<double> PropertySet::numbers(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Property* p = find(name);
    if (!p)
        return {};
    if (p->type == PropType::Double)
        return p->doubles;
    if (p->type == PropType::Int)
        return std::vector<double>(p->ints.begin(), p->ints.end());
    return {};
}

bool PropertySet::has(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return find(name) != nullptr;
}

void PropertySet::assignInts(std::string_view name, std::vector<int> v) {
    std::lock_guard lock(mutex_);
    if (Property* p = find(name); p && p->type == PropType::Int)
        p->ints = std::move(v);
}
void PropertySet::assignDoubles(std::string_view name, std::vector<double> v) {
    std::lock_guard lock(mutex_);
    if (Property* p = find(name); p && p->type == PropType::Double)
        p->doubles = std::move(v);
}
void PropertySet::assignStrings(std::string_view name, std::vector<std::string> v) {
    std::lock_guard lock(mutex_);
    if (Property* p = find(name); p && p->type == PropType::String)
        p->strings = std::move(v);
}
void PropertySet::assignPointers(std::string_view name, std::vector<void*> v) {
    std::lock_guard lock(mutex_);
    if (Property* p = find(name); p && p->type == PropType::Pointer)
        p->pointers = std::move(v);
}

}  // namespace ofxhost::detail
