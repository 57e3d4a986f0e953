// OFX C++ layer: parameter descriptors (describe time) and parameters (instances).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ofxsCore.h"
#include "ofxsProperty.h"

namespace OFX {

class GroupParamDescriptor;

// ---- descriptors ----

// Base of all parameter descriptors: writes the properties of one defined parameter.
class ParamDescriptor {
public:
    ParamDescriptor(const std::string& name, OfxPropertySetHandle props);
    virtual ~ParamDescriptor();
    ParamDescriptor(const ParamDescriptor&) = delete;
    ParamDescriptor& operator=(const ParamDescriptor&) = delete;

    // The parameter's name (its script name too).
    const std::string& getName() const;
    // Sets label, short and long label alike.
    void setLabel(const std::string& label);
    void setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel);
    void setHint(const std::string& hint);
    // Places the parameter inside that group.
    void setParent(const GroupParamDescriptor& group);
    void setEnabled(bool enabled);
    void setIsSecret(bool secret);

protected:
    PropertySet& props() { return props_; }
    const std::string& hint() const { return hint_; }

private:
    std::string name_;
    std::string hint_;
    PropertySet props_;
};

// Parameters that hold a value.
class ValueParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setAnimates(bool animates);
};

class IntParamDescriptor : public ValueParamDescriptor {
public:
    using ValueParamDescriptor::ValueParamDescriptor;
    void setDefault(int value);
    // Hard limits of the value.
    void setRange(int min, int max);
    // Limits of the host's slider.
    void setDisplayRange(int min, int max);
};

class DoubleParamDescriptor : public ValueParamDescriptor {
public:
    using ValueParamDescriptor::ValueParamDescriptor;
    void setDefault(double value);
    void setRange(double min, double max);
    void setDisplayRange(double min, double max);
    // Step of the host's slider and arrows.
    void setIncrement(double increment);
};

class BooleanParamDescriptor : public ValueParamDescriptor {
public:
    using ValueParamDescriptor::ValueParamDescriptor;
    void setDefault(bool value);
};

class ChoiceParamDescriptor : public ValueParamDescriptor {
public:
    using ValueParamDescriptor::ValueParamDescriptor;
    // Index of the default option.
    void setDefault(int index);
    // Adds the next option; a non-empty hint is appended to the parameter's hint as "option: hint".
    void appendOption(const std::string& option, const std::string& hint = "");
    // Options appended so far.
    int getNOptions() const;

private:
    int options_ = 0;
};

class PushButtonParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
};

class GroupParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    // Whether the host shows the group unfolded.
    void setOpen(bool open);
};

// ---- instance side ----

// Base of all parameters of an instance.
class Param {
public:
    Param(const std::string& name, OfxParamHandle handle, OfxPropertySetHandle props);
    virtual ~Param();
    Param(const Param&) = delete;
    Param& operator=(const Param&) = delete;

    const std::string& getName() const;
    OfxParamHandle getHandle() const;
    void setEnabled(bool enabled);
    void setIsSecret(bool secret);
    bool getIsSecret() const;
    bool getIsEnable() const;

protected:
    OfxParamHandle handle_;
    PropertySet props_;

private:
    std::string name_;
};

class IntParam : public Param {
public:
    using Param::Param;
    int getValue() const;
    int getValueAtTime(double t) const;
    void setValue(int value);
};

class DoubleParam : public Param {
public:
    using Param::Param;
    double getValue() const;
    double getValueAtTime(double t) const;
    void setValue(double value);
};

class BooleanParam : public Param {
public:
    using Param::Param;
    bool getValue() const;
    bool getValueAtTime(double t) const;
    void setValue(bool value);
};

// The value is the option index.
class ChoiceParam : public Param {
public:
    using Param::Param;
    int getValue() const;
    int getValueAtTime(double t) const;
    void setValue(int value);
};

class PushButtonParam : public Param {
public:
    using Param::Param;
};

class GroupParam : public Param {
public:
    using Param::Param;
};

// The parameters of one instance, fetched by name and kept for the instance's life.
// Safe to fetch from several render threads at once.
class ParamSet {
public:
    ParamSet();
    virtual ~ParamSet();
    ParamSet(const ParamSet&) = delete;
    ParamSet& operator=(const ParamSet&) = delete;

    // Each returns null when the host has no such parameter (or it has another type); the set owns the object.
    IntParam* fetchIntParam(const std::string& name);
    DoubleParam* fetchDoubleParam(const std::string& name);
    BooleanParam* fetchBooleanParam(const std::string& name);
    ChoiceParam* fetchChoiceParam(const std::string& name);
    PushButtonParam* fetchPushButtonParam(const std::string& name);
    GroupParam* fetchGroupParam(const std::string& name);

protected:
    // The host's parameter set; fetches answer null until it is set.
    void setParamSetHandle(OfxParamSetHandle handle);

private:
    template <class T>
    T* fetchParam(const std::string& name, const char* type);

    OfxParamSetHandle paramSet_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Param>> params_;
};

}  // namespace OFX
