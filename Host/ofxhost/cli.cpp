// orvalis-host: "describe" prints what a bundle's plug-ins declare, "render"
// pushes one frame through an effect and writes the result.
#include "ofxhost/cli.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <thread>

#include "ofxImageEffect.h"
#include "ofxParam.h"
#include "ofxhost/image_io.h"

namespace ofxhost {

namespace {

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }
const char* yesNo(bool b) { return b ? "yes" : "no"; }

std::string number(double v) {
    std::ostringstream s;
    s.precision(10);
    s << v;
    return s.str();
}

std::string numbers(const std::vector<double>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i ? ", " : "") + number(v[i]);
    return out;
}

std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i)
        out += (i ? ", " : "") + v[i];
    return out.empty() ? "(none)" : out;
}

std::string shortType(const std::string& type) {
    const std::string prefix = "OfxParamType";
    return type.rfind(prefix, 0) == 0 ? type.substr(prefix.size()) : type;
}

bool hasRange(const std::string& type) {
    return type == kOfxParamTypeInteger || type == kOfxParamTypeDouble || type == kOfxParamTypeInteger2D ||
           type == kOfxParamTypeInteger3D || type == kOfxParamTypeDouble2D || type == kOfxParamTypeDouble3D ||
           type == kOfxParamTypeRGB || type == kOfxParamTypeRGBA;
}

bool hasValue(const std::string& type) {
    return type != kOfxParamTypeGroup && type != kOfxParamTypePage && type != kOfxParamTypePushButton;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseNumber(const std::string& s, double& v) {
    if (s.empty())
        return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

}  // namespace

std::string formatDescription(const PluginDescription& d) {
    std::ostringstream o;
    o << "identifier: " << d.identifier << "\n";
    o << "version: " << d.versionMajor << "." << d.versionMinor << "\n";
    if (!d.error.empty()) {
        o << "error: " << d.error << "\n";
        return o.str();
    }
    o << "label: " << inQuotes(d.label) << "\n";
    o << "short label: " << inQuotes(d.shortLabel) << "\n";
    o << "long label: " << inQuotes(d.longLabel) << "\n";
    o << "grouping: " << inQuotes(d.grouping) << "\n";
    o << "description: " << inQuotes(d.description) << "\n";
    o << "contexts: " << joined(d.contexts) << "\n";
    o << "pixel depths: " << joined(d.depths) << "\n";
    o << "single instance: " << yesNo(d.singleInstance) << "\n";
    o << "host frame threading: " << yesNo(d.hostFrameThreading) << "\n";
    o << "multi-resolution: " << yesNo(d.multiResolution) << "\n";
    o << "tiles: " << yesNo(d.tiles) << "\n";
    o << "render thread safety: " << d.renderThreadSafety << "\n";
    o << "clips (" << d.clips.size() << "):\n";
    for (const auto& c : d.clips)
        o << "  " << inQuotes(c.name) << ": components " << joined(c.components) << "; temporal access "
          << yesNo(c.temporalAccess) << "; tiles " << yesNo(c.tiles) << "; mask " << yesNo(c.isMask) << "; optional "
          << yesNo(c.optional) << "\n";
    o << "parameters (" << d.params.size() << ", in definition order):\n";
    for (const auto& p : d.params) {
        o << "  " << inQuotes(p.name) << ": " << shortType(p.type) << "\n";
        o << "    label: " << inQuotes(p.label) << "\n";
        if (p.shortLabel != p.label)
            o << "    short label: " << inQuotes(p.shortLabel) << "\n";
        if (p.longLabel != p.label)
            o << "    long label: " << inQuotes(p.longLabel) << "\n";
        o << "    hint: " << inQuotes(p.hint) << "\n";
        if (p.type == kOfxParamTypeString || p.type == kOfxParamTypeCustom)
            o << "    default: " << inQuotes(p.defaultString) << "\n";
        else if (hasValue(p.type))
            o << "    default: " << numbers(p.defaultValue) << "\n";
        if (hasRange(p.type)) {
            o << "    range: " << numbers(p.min) << " .. " << numbers(p.max) << "\n";
            o << "    display range: " << numbers(p.displayMin) << " .. " << numbers(p.displayMax) << "\n";
        }
        if (p.type == kOfxParamTypeDouble || p.type == kOfxParamTypeDouble2D || p.type == kOfxParamTypeDouble3D)
            o << "    increment: " << number(p.increment) << "\n";
        if (p.type == kOfxParamTypeChoice) {
            o << "    options:";
            for (std::size_t i = 0; i < p.options.size(); ++i)
                o << (i ? "," : "") << " " << i << " " << inQuotes(p.options[i]);
            o << "\n";
        }
        if (hasValue(p.type))
            o << "    animates: " << yesNo(p.animates) << "\n";
        o << "    parent: " << (p.parent.empty() ? std::string("-") : inQuotes(p.parent)) << "\n";
        o << "    enabled: " << yesNo(p.enabled) << "\n";
        o << "    secret: " << yesNo(p.secret) << "\n";
        if (p.type == kOfxParamTypeGroup)
            o << "    group open: " << yesNo(p.open) << "\n";
    }
    return o.str();
}

std::optional<ParamAssignment> parseParamAssignment(const std::string& arg, const PluginDescription& d,
                                                    std::string& error) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "expected --param name=value, got " + inQuotes(arg);
        return std::nullopt;
    }
    ParamAssignment a;
    a.name = arg.substr(0, eq);
    const std::string value = arg.substr(eq + 1);
    const ParamInfo* info = nullptr;
    for (const auto& p : d.params)
        if (p.name == a.name)
            info = &p;
    if (!info) {
        error = "the plug-in has no parameter " + inQuotes(a.name);
        return std::nullopt;
    }
    if (info->type == kOfxParamTypeString || info->type == kOfxParamTypeCustom) {
        a.text = value;
        return a;
    }
    if (!hasValue(info->type)) {
        error = "parameter " + inQuotes(a.name) + " holds no value";
        return std::nullopt;
    }
    if (info->type == kOfxParamTypeChoice) {
        for (std::size_t i = 0; i < info->options.size(); ++i)
            if (info->options[i] == value) {
                a.values = {double(i)};
                return a;
            }
        double index = 0;
        if (parseNumber(value, index) && index == std::floor(index) && index >= 0 &&
            index < double(info->options.size())) {
            a.values = {index};
            return a;
        }
        error = "parameter " + inQuotes(a.name) + " has no option " + inQuotes(value);
        return std::nullopt;
    }
    if (info->type == kOfxParamTypeBoolean) {
        const std::string v = lower(value);
        if (v == "1" || v == "true" || v == "on" || v == "yes")
            a.values = {1};
        else if (v == "0" || v == "false" || v == "off" || v == "no")
            a.values = {0};
        else {
            error = "parameter " + inQuotes(a.name) + " is a boolean, not " + inQuotes(value);
            return std::nullopt;
        }
        return a;
    }
    std::stringstream parts(value);
    std::string part;
    while (std::getline(parts, part, ',')) {
        double v = 0;
        if (!parseNumber(part, v)) {
            error = "parameter " + inQuotes(a.name) + ": " + inQuotes(part) + " is not a number";
            return std::nullopt;
        }
        a.values.push_back(v);
    }
    const std::size_t dims = info->defaultValue.empty() ? 1 : info->defaultValue.size();
    if (a.values.size() != dims) {
        error = "parameter " + inQuotes(a.name) + " takes " + std::to_string(dims) + " value(s)";
        return std::nullopt;
    }
    return a;
}

std::vector<std::string> clampToRange(ParamAssignment& a, const PluginDescription& d) {
    std::vector<std::string> notes;
    const ParamInfo* info = nullptr;
    for (const auto& p : d.params)
        if (p.name == a.name)
            info = &p;
    if (!info || !hasRange(info->type))
        return notes;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        double& v = a.values[i];
        const double low = i < info->min.size() ? info->min[i] : -HUGE_VAL;
        const double high = i < info->max.size() ? info->max[i] : HUGE_VAL;
        if (low > high || (v >= low && v <= high))
            continue;
        const double clamped = v < low ? low : high;
        notes.push_back("parameter " + inQuotes(a.name) +
                        (a.values.size() > 1 ? " value " + std::to_string(i + 1) : "") + ": " + number(v) +
                        " is outside its range " + number(low) + " .. " + number(high) + "; using " + number(clamped));
        v = clamped;
    }
    return notes;
}

namespace {

constexpr int kMaxSampleSide = 16384;

// Whether the output can be written, found before the render rather than
// after it. An existing file is opened for appending (nothing changes); a
// new one is made and removed again.
bool outputWritable(const std::string& path, std::string& why) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code ec;
    const bool existed = std::filesystem::exists(file, ec);
    if (existed && std::filesystem::is_directory(file, ec)) {
        why = "it is a folder";
        return false;
    }
    const std::filesystem::path parent = file.parent_path();
    if (!existed && !parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        why = "the folder " + std::string(reinterpret_cast<const char*>(parent.u8string().c_str())) + " does not exist";
        return false;
    }
    {
        std::ofstream probe(file, std::ios::binary | std::ios::app);
        if (!probe) {
            why = existed ? "the file cannot be opened for writing" : "no file can be made in its folder";
            return false;
        }
    }
    if (!existed)
        std::filesystem::remove(file, ec);
    return true;
}

std::string usage() {
    return "usage:\n"
           "  orvalis-host describe <bundle>\n"
           "  orvalis-host render <bundle> [--input FILE | --sample WxH] --output FILE --depth 8|16|float\n"
           "                      [--param name=value ...] [--time T] [--keep-alive MS]\n"
           "<bundle> is an X.ofx.bundle folder or the plug-in binary itself.\n"
           "Without --input the built-in 1920x1080 sample frame is used. Choices take an index or an option text.\n"
           "Image files: " +
           supportedImageFormats() + ".\n";
}

// Describes in the filter context, or the general one for a plug-in without it.
PluginDescription describeAny(Bundle& bundle, int index, std::string& context) {
    context = kOfxImageEffectContextFilter;
    PluginDescription d = bundle.describe(index, context);
    if (!d.error.empty() && d.error.find("context") != std::string::npos) {
        context = kOfxImageEffectContextGeneral;
        PluginDescription g = bundle.describe(index, context);
        if (g.error.empty())
            return g;
    }
    return d;
}

int describeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << usage();
        return 1;
    }
    std::string error;
    auto bundle = Bundle::load(args[1], error);
    if (!bundle) {
        err << "orvalis-host: " << error << "\n";
        return 2;
    }
    out << "bundle: " << args[1] << "\n";
    out << "binary: " << bundle->binaryPath() << "\n";
    out << "plug-ins: " << bundle->pluginCount() << "\n";
    int failures = 0;
    for (int i = 0; i < bundle->pluginCount(); ++i) {
        std::string context;
        const PluginDescription d = describeAny(*bundle, i, context);
        out << "\nplug-in " << i << " (described in " << context << ")\n" << formatDescription(d);
        failures += !d.error.empty();
    }
    return failures ? 2 : 0;
}

struct RenderOptions {
    std::string bundle, input, output;
    int sampleWidth = 1920, sampleHeight = 1080;
    std::optional<Depth> depth;
    std::vector<std::string> params;
    double time = 0.0;
    int keepAliveMs = 500;
};

bool parseRenderOptions(const std::vector<std::string>& args, RenderOptions& o, std::string& error) {
    if (args.size() < 2) {
        error = "render needs a bundle";
        return false;
    }
    o.bundle = args[1];
    bool sample = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--input") {
            if (!value(o.input))
                return false;
        } else if (a == "--output") {
            if (!value(o.output))
                return false;
        } else if (a == "--sample") {
            if (!value(v))
                return false;
            sample = true;
            const auto x = v.find('x');
            double w = 0, h = 0;
            if (x == std::string::npos || !parseNumber(v.substr(0, x), w) || !parseNumber(v.substr(x + 1), h) ||
                w < 1 || h < 1 || w != std::floor(w) || h != std::floor(h)) {
                error = "--sample takes WxH, e.g. 1920x1080";
                return false;
            }
            if (w > kMaxSampleSide || h > kMaxSampleSide) {
                error = "--sample " + v + " is too large: each side may be at most " + std::to_string(kMaxSampleSide);
                return false;
            }
            o.sampleWidth = int(w);
            o.sampleHeight = int(h);
        } else if (a == "--depth") {
            if (!value(v))
                return false;
            o.depth = parseDepth(v);
            if (!o.depth) {
                error = "--depth takes 8, 16 or float";
                return false;
            }
        } else if (a == "--param") {
            if (!value(v))
                return false;
            o.params.push_back(v);
        } else if (a == "--time") {
            if (!value(v) || !parseNumber(v, o.time)) {
                error = "--time takes a number";
                return false;
            }
        } else if (a == "--keep-alive") {
            double ms = 0;
            if (!value(v) || !parseNumber(v, ms) || ms < 0 || ms > 3600000) {
                error = "--keep-alive takes milliseconds";
                return false;
            }
            o.keepAliveMs = int(ms);
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (sample && !o.input.empty())
        error = "give either --input or --sample";
    else if (o.output.empty())
        error = "render needs --output";
    else if (!o.depth)
        error = "render needs --depth";
    return error.empty();
}

int renderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    RenderOptions o;
    std::string error;
    if (!parseRenderOptions(args, o, error)) {
        err << "orvalis-host: " << error << "\n" << usage();
        return 1;
    }
    if (!canWriteImage(o.output)) {
        err << "orvalis-host: cannot write " << o.output
            << ": unknown file type (image files: " << supportedImageFormats() << ")\n";
        return 1;
    }
    auto bundle = Bundle::load(o.bundle, error);
    if (!bundle) {
        err << "orvalis-host: " << error << "\n";
        return 2;
    }
    if (bundle->pluginCount() < 1) {
        err << "orvalis-host: " << o.bundle << " holds no plug-in\n";
        return 2;
    }
    std::string context;
    const PluginDescription d = describeAny(*bundle, 0, context);
    if (!d.error.empty()) {
        err << "orvalis-host: " << d.error << "\n";
        return 2;
    }
    std::map<std::string, std::vector<double>> restored;
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& p : o.params) {
        auto a = parseParamAssignment(p, d, error);
        if (!a) {
            err << "orvalis-host: " << error << "\n";
            return 1;
        }
        for (const auto& note : clampToRange(*a, d))
            err << "orvalis-host: " << note << "\n";
        if (a->text)
            texts.emplace_back(a->name, *a->text);
        else
            restored[a->name] = a->values;
    }
    if (std::string why; !outputWritable(o.output, why)) {
        err << "orvalis-host: cannot write " << o.output << ": " << why << "\n";
        return 4;
    }

    std::shared_ptr<ImageBuffer> source;
    std::string sourceName;
    if (!o.input.empty()) {
        source = readImage(o.input, error);
        if (!source) {
            err << "orvalis-host: " << error << "\n";
            return 4;
        }
        sourceName = o.input;
    } else {
        source = makeSampleFrame(o.sampleWidth, o.sampleHeight);
        sourceName = "sample " + std::to_string(o.sampleWidth) + "x" + std::to_string(o.sampleHeight);
    }
    // Both clips at the chosen depth: this host does not mix clip depths.
    source = convertImage(*source, *o.depth);
    source->uniqueIdentifier = "orvalis-host:" + sourceName;
    auto output = std::make_shared<ImageBuffer>(*o.depth, source->bounds());

    auto instance = bundle->createInstance(0, context, restored);
    if (!instance) {
        err << "orvalis-host: " << bundle->lastError() << "\n";
        return 2;
    }
    for (const auto& [name, text] : texts)
        instance->setStringValue(name, text);
    instance->setClipImage(kOfxImageEffectSimpleSourceClipName, source);
    instance->setClipImage(kOfxImageEffectOutputClipName, output);
    out << "plug-in: " << d.identifier << " " << d.versionMajor << "." << d.versionMinor << " (" << context << ")\n";
    out << "source: " << sourceName << ", " << source->width() << "x" << source->height() << ", " << depthName(*o.depth)
        << "\n";
    for (const auto& [name, values] : restored)
        out << "param " << name << " = " << numbers(instance->value(name)) << "\n";
    for (const auto& [name, text] : texts)
        out << "param " << name << " = " << inQuotes(instance->stringValue(name)) << "\n";

    const auto start = std::chrono::steady_clock::now();
    OfxStatus status = instance->beginSequenceRender(o.time, o.time);
    if (status == kOfxStatOK) {
        status = instance->render(o.time, source->bounds());
        const OfxStatus end = instance->endSequenceRender(o.time, o.time);
        if (status == kOfxStatOK)
            status = end;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (const auto& m : instance->messages())
        out << "message [" << m.type << "] " << m.id << ": " << m.text << "\n";
    if (status != kOfxStatOK) {
        err << "orvalis-host: render failed with status " << status << "\n";
        return 3;
    }
    out << "rendered frame " << number(o.time) << " in " << number(std::round(ms * 10) / 10) << " ms\n";
    if (!writeImage(o.output, *output, error)) {
        err << "orvalis-host: " << error << "\n";
        return 4;
    }
    out << "wrote " << o.output << "\n";
    // Let background threads of the plug-in finish before the instance goes.
    if (o.keepAliveMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(o.keepAliveMs));
    // A plug-in may hold a fetched image past the render (a queued job); one
    // still held now is worth a word.
    if (instance->outstandingImages() != 0)
        out << "warning: the plug-in still holds " << instance->outstandingImages() << " image(s) it fetched\n";
    instance.reset();
    return 0;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << usage();
        return args.empty() ? 1 : 0;
    }
    if (args[0] == "describe")
        return describeCommand(args, out, err);
    if (args[0] == "render")
        return renderCommand(args, out, err);
    err << "orvalis-host: unknown command " << args[0] << "\n" << usage();
    return 1;
}

}  // namespace ofxhost
