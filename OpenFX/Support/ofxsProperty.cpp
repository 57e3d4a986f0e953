// Typed property access through the host's property suite.
#include "ofxsProperty.h"

#include "ofxsLog.h"
#include "ofxsSuites.h"

namespace OFX {

namespace {

const OfxPropertySuiteV1& suiteFor(OfxPropertySetHandle handle) {
    if (handle == nullptr)
        throwSuiteStatusException(kOfxStatErrBadHandle);
    return Private::propertySuite();
}

// A setter's status: an unknown property is an optional host feature we skip.
void checkSet(OfxStatus status, const char* name) {
    if (status == kOfxStatOK)
        return;
    if (status == kOfxStatErrUnknown) {
        Log::print("OFX: host does not know property %s; left unset", name);
        return;
    }
    Log::print("OFX: setting property %s failed: %s", name, mapStatusToString(status));
    throwSuiteStatusException(status);
}

void checkGet(OfxStatus status) {
    if (status != kOfxStatOK)
        throwSuiteStatusException(status);
}

// One suite entry, or the missing-feature exception a host without it earns.
template <typename Entry>
Entry entry(OfxPropertySetHandle handle, Entry OfxPropertySuiteV1::*member) {
    const Entry function = suiteFor(handle).*member;
    if (function == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return function;
}

template <typename Value, typename Getter>
Value getValue(OfxPropertySetHandle handle, Getter OfxPropertySuiteV1::*member, const char* name, int index) {
    Value value{};
    checkGet(entry(handle, member)(handle, name, index, &value));
    return value;
}

}  // namespace

void PropertySet::setString(const char* name, const std::string& value, int index) {
    checkSet(entry(handle_, &OfxPropertySuiteV1::propSetString)(handle_, name, index, value.c_str()), name);
}

void PropertySet::setInt(const char* name, int value, int index) {
    checkSet(entry(handle_, &OfxPropertySuiteV1::propSetInt)(handle_, name, index, value), name);
}

void PropertySet::setDouble(const char* name, double value, int index) {
    checkSet(entry(handle_, &OfxPropertySuiteV1::propSetDouble)(handle_, name, index, value), name);
}

void PropertySet::setPointer(const char* name, void* value, int index) {
    checkSet(entry(handle_, &OfxPropertySuiteV1::propSetPointer)(handle_, name, index, value), name);
}

std::string PropertySet::getString(const char* name, int index) const {
    char* value = getValue<char*>(handle_, &OfxPropertySuiteV1::propGetString, name, index);
    return value != nullptr ? std::string(value) : std::string();
}

int PropertySet::getInt(const char* name, int index) const {
    return getValue<int>(handle_, &OfxPropertySuiteV1::propGetInt, name, index);
}

double PropertySet::getDouble(const char* name, int index) const {
    return getValue<double>(handle_, &OfxPropertySuiteV1::propGetDouble, name, index);
}

void* PropertySet::getPointer(const char* name, int index) const {
    return getValue<void*>(handle_, &OfxPropertySuiteV1::propGetPointer, name, index);
}

int PropertySet::getDimension(const char* name) const {
    int count = 0;
    checkGet(entry(handle_, &OfxPropertySuiteV1::propGetDimension)(handle_, name, &count));
    return count;
}

std::string PropertySet::getString(const char* name, int index, const std::string& fallback) const noexcept {
    try {
        return getString(name, index);
    } catch (...) {
        return fallback;
    }
}

int PropertySet::getInt(const char* name, int index, int fallback) const noexcept {
    try {
        return getInt(name, index);
    } catch (...) {
        return fallback;
    }
}

double PropertySet::getDouble(const char* name, int index, double fallback) const noexcept {
    try {
        return getDouble(name, index);
    } catch (...) {
        return fallback;
    }
}

}  // namespace OFX
