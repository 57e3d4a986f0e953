// Instance side: parameters fetched by name, their values and flags.
#include "ofxsImageEffect.h"
#include "ofxsLog.h"
#include "ofxsSuites.h"

namespace OFX {

namespace {

void check(OfxStatus status) {
    if (status != kOfxStatOK)
        throwSuiteStatusException(status);
}

const OfxParameterSuiteV1& params() { return Private::parameterSuite(); }

}  // namespace

// ---- parameters ----

Param::Param(const std::string& name, OfxParamHandle handle, OfxPropertySetHandle props)
    : handle_(handle), props_(props), name_(name) {}

Param::~Param() = default;

const std::string& Param::getName() const { return name_; }
OfxParamHandle Param::getHandle() const { return handle_; }

void Param::setEnabled(bool enabled) { props_.setInt(kOfxParamPropEnabled, enabled ? 1 : 0); }
void Param::setIsSecret(bool secret) { props_.setInt(kOfxParamPropSecret, secret ? 1 : 0); }
bool Param::getIsSecret() const { return props_.getInt(kOfxParamPropSecret) != 0; }
bool Param::getIsEnable() const { return props_.getInt(kOfxParamPropEnabled) != 0; }

// Integer, boolean and choice values travel as int through the varargs.
namespace {

int getIntValue(OfxParamHandle handle) {
    int value = 0;
    check(Private::need(params().paramGetValue)(handle, &value));
    return value;
}

int getIntValueAtTime(OfxParamHandle handle, double t) {
    int value = 0;
    check(Private::need(params().paramGetValueAtTime)(handle, t, &value));
    return value;
}

void setIntValue(OfxParamHandle handle, int value) { check(Private::need(params().paramSetValue)(handle, value)); }

}  // namespace

int IntParam::getValue() const { return getIntValue(handle_); }
int IntParam::getValueAtTime(double t) const { return getIntValueAtTime(handle_, t); }
void IntParam::setValue(int value) { setIntValue(handle_, value); }

bool BooleanParam::getValue() const { return getIntValue(handle_) != 0; }
bool BooleanParam::getValueAtTime(double t) const { return getIntValueAtTime(handle_, t) != 0; }
void BooleanParam::setValue(bool value) { setIntValue(handle_, value ? 1 : 0); }

int ChoiceParam::getValue() const { return getIntValue(handle_); }
int ChoiceParam::getValueAtTime(double t) const { return getIntValueAtTime(handle_, t); }
void ChoiceParam::setValue(int value) { setIntValue(handle_, value); }

double DoubleParam::getValue() const {
    double value = 0.0;
    check(Private::need(params().paramGetValue)(handle_, &value));
    return value;
}

double DoubleParam::getValueAtTime(double t) const {
    double value = 0.0;
    check(Private::need(params().paramGetValueAtTime)(handle_, t, &value));
    return value;
}

void DoubleParam::setValue(double value) { check(Private::need(params().paramSetValue)(handle_, value)); }

// ---- parameter set ----

ParamSet::ParamSet() = default;
ParamSet::~ParamSet() = default;

void ParamSet::setParamSetHandle(OfxParamSetHandle handle) { paramSet_ = handle; }

template <class T>
T* ParamSet::fetchParam(const std::string& name, const char* type) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = params_.find(name); it != params_.end())
        return dynamic_cast<T*>(it->second.get());  // null when it has another type
    if (paramSet_ == nullptr)
        return nullptr;
    OfxParamHandle handle = nullptr;
    OfxPropertySetHandle propsHandle = nullptr;
    const OfxStatus st = Private::need(params().paramGetHandle)(paramSet_, name.c_str(), &handle, &propsHandle);
    if (st != kOfxStatOK || handle == nullptr)
        return nullptr;
    if (propsHandle == nullptr) {
        const OfxStatus pst = Private::need(params().paramGetPropertySet)(handle, &propsHandle);
        if (pst != kOfxStatOK || propsHandle == nullptr)
            return nullptr;
    }
    const std::string actual = PropertySet(propsHandle).getString(kOfxParamPropType, 0, "");
    if (actual != type) {
        Log::print("OFX: parameter %s is %s, not %s", name.c_str(), actual.c_str(), type);
        return nullptr;
    }
    auto param = std::make_unique<T>(name, handle, propsHandle);
    T* result = param.get();
    params_.emplace(name, std::move(param));
    return result;
}

IntParam* ParamSet::fetchIntParam(const std::string& name) { return fetchParam<IntParam>(name, kOfxParamTypeInteger); }

DoubleParam* ParamSet::fetchDoubleParam(const std::string& name) {
    return fetchParam<DoubleParam>(name, kOfxParamTypeDouble);
}

BooleanParam* ParamSet::fetchBooleanParam(const std::string& name) {
    return fetchParam<BooleanParam>(name, kOfxParamTypeBoolean);
}

ChoiceParam* ParamSet::fetchChoiceParam(const std::string& name) {
    return fetchParam<ChoiceParam>(name, kOfxParamTypeChoice);
}

PushButtonParam* ParamSet::fetchPushButtonParam(const std::string& name) {
    return fetchParam<PushButtonParam>(name, kOfxParamTypePushButton);
}

GroupParam* ParamSet::fetchGroupParam(const std::string& name) {
    return fetchParam<GroupParam>(name, kOfxParamTypeGroup);
}

}  // namespace OFX
