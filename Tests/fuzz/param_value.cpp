// The host's --param NAME=VALUE, as a user types it, against a plug-in with
// one parameter of each kind; a value taken is then clamped to its range.
#include <cstdint>
#include <string>

#include "Tests/fuzz/fuzz_support.h"
#include "ofxParam.h"
#include "ofxhost/cli.h"

namespace {

using fuzz_support::check;

ofxhost::ParamInfo param(const char* name, const char* type, std::vector<double> def, std::vector<double> min = {},
                         std::vector<double> max = {}) {
    ofxhost::ParamInfo p;
    p.name = name;
    p.type = type;
    p.defaultValue = std::move(def);
    p.min = std::move(min);
    p.max = std::move(max);
    return p;
}

const ofxhost::PluginDescription& description() {
    static const ofxhost::PluginDescription d = [] {
        ofxhost::PluginDescription d;
        auto mode = param("mode", kOfxParamTypeChoice, {0});
        mode.options = {"Copy", "Invert", "50%", ""};
        d.params = {
            mode,
            param("flag", kOfxParamTypeBoolean, {1}),
            param("count", kOfxParamTypeInteger, {5}, {1}, {10}),
            param("gain", kOfxParamTypeDouble, {1.5}, {0}, {4}),
            param("pos", kOfxParamTypeDouble3D, {0, 0, 0}, {-1, -2, -3}, {1, 2}),
            param("size", kOfxParamTypeInteger2D, {1, 1}, {5, 5}, {1, 1}),  // a range upside down
            param("tint", kOfxParamTypeRGBA, {0, 0, 0, 1}),
            param("note", kOfxParamTypeString, {}),
            param("grp", kOfxParamTypeGroup, {}),
            param("bump", kOfxParamTypePushButton, {}),
        };
        return d;
    }();
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string arg(reinterpret_cast<const char*>(data), size);
    const auto& d = description();
    std::string error;
    auto a = ofxhost::parseParamAssignment(arg, d, error);
    if (!a) {
        check(!error.empty());
        return 0;
    }
    const ofxhost::ParamInfo* info = nullptr;
    for (const auto& p : d.params) {
        if (p.name == a->name) {
            info = &p;
        }
    }
    check(info != nullptr);
    check(a->text.has_value() || !a->values.empty());
    const auto before = a->values;
    const auto notes = ofxhost::clampToRange(*a, d);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < a->values.size(); ++i) {
        const double v = a->values[i];
        changed += v != before[i];
        if (i < info->min.size() && i < info->max.size() && info->min[i] <= info->max[i]) {
            check(v >= info->min[i] && v <= info->max[i]);
        }
    }
    check(notes.size() == changed);
    return 0;
}
