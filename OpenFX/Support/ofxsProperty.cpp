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

}  // namespace

void PropertySet::setString(const char* name, const std::string& value, int index) {
    const auto& s = suiteFor(handle_);
    if (s.propSetString == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    checkSet(s.propSetString(handle_, name, index, value.c_str()), name);
}

void PropertySet::setInt(const char* name, int value, int index) {
    const auto& s = suiteFor(handle_);
    if (s.propSetInt == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    checkSet(s.propSetInt(handle_, name, index, value), name);
}

void PropertySet::setDouble(const char* name, double value, int index) {
    const auto& s = suiteFor(handle_);
    if (s.propSetDouble == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    checkSet(s.propSetDouble(handle_, name, index, value), name);
}

void PropertySet::setPointer(const char* name, void* value, int index) {
    const auto& s = suiteFor(handle_);
    if (s.propSetPointer == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    checkSet(s.propSetPointer(handle_, name, index, value), name);
}

std::string PropertySet::getString(const char* name, int index) const {
    const auto& s = suiteFor(handle_);
    if (s.propGetString == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    char* value = nullptr;
    checkGet(s.propGetString(handle_, name, index, &value));
    return value != nullptr ? std::string(value) : std::string();
}

int PropertySet::getInt(const char* name, int index) const {
    const auto& s = suiteFor(handle_);
    if (s.propGetInt == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    int value = 0;
    checkGet(s.propGetInt(handle_, name, index, &value));
    return value;
}

double PropertySet::getDouble(const char* name, int index) const {
    const auto& s = suiteFor(handle_);
    if (s.propGetDouble == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    double value = 0.0;
    checkGet(s.propGetDouble(handle_, name, index, &value));
    return value;
}

void* PropertySet::getPointer(const char* name, int index) const {
    const auto& s = suiteFor(handle_);
    if (s.propGetPointer == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    void* value = nullptr;
    checkGet(s.propGetPointer(handle_, name, index, &value));
    return value;
}

int PropertySet::getDimension(const char* name) const {
    const auto& s = suiteFor(handle_);
    if (s.propGetDimension == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    int count = 0;
    checkGet(s.propGetDimension(handle_, name, &count));
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
