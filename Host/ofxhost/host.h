// A general OpenFX image-effect host: loads a plug-in binary through its two
// exported entry points, describes it and drives instances through the
// standard actions and suites. Uses only the OpenFX C API.
#ifndef OFXHOST_HOST_H
#define OFXHOST_HOST_H

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ofxCore.h"

namespace ofxhost {

// Pixel depth of a host-allocated RGBA image.
enum class Depth { UByte, UShort, Float };

// Integer rectangle, x1/y1 inclusive, x2/y2 exclusive (OpenFX convention).
struct RectI {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Bytes per component of a depth (1, 2 or 4).
int bytesPerComponent(Depth depth);
// The OpenFX name of a depth (kOfxBitDepthByte ...).
const char* depthName(Depth depth);
// Parses "8", "16", "float" or an OpenFX depth name.
std::optional<Depth> parseDepth(const std::string& text);

// Host-allocated RGBA image of any depth. Rows may be padded, and a bottom-up
// image has negative row bytes (its last row in memory is the bottom row y1).
class ImageBuffer {
public:
    // rowBytesPadding is rounded up to a multiple of the component size so
    // that every pixel stays aligned for its component type.
    ImageBuffer(Depth depth, RectI bounds, int rowBytesPadding = 0, bool bottomUp = false);
    Depth depth() const { return depth_; }
    RectI bounds() const { return bounds_; }
    int width() const { return bounds_.x2 - bounds_.x1; }
    int height() const { return bounds_.y2 - bounds_.y1; }
    // Distance in bytes from one row to the next one up; negative when bottom-up.
    int rowBytes() const { return rowBytes_; }
    // Address of pixel (bounds.x1, bounds.y1); null for an empty image.
    void* data();
    const void* data() const;
    // Address of the first byte of pixel (x, y); null outside the bounds.
    void* pixelAddress(int x, int y);
    const void* pixelAddress(int x, int y) const;
    // Normalised RGBA (byte/255, short/65535, float as stored). Writing clamps
    // integer depths to 0..1 and rounds; outside the bounds nothing happens
    // (getPixel yields zeros).
    void setPixel(int x, int y, const float rgba[4]);
    void getPixel(int x, int y, float rgba[4]) const;
    // Fills every pixel with one colour.
    void fill(const float rgba[4]);

    // kOfxImagePropUniqueIdentifier of images fetched from this buffer; may be empty.
    std::string uniqueIdentifier;

private:
    Depth depth_;
    RectI bounds_;
    int rowBytes_ = 0;
    std::vector<unsigned char> storage_;
    std::ptrdiff_t originOffset_ = 0;  // offset of pixel (x1, y1) in storage_
};

// A copy of an image at another depth (clamped and rounded when narrowing),
// with the given row layout.
std::shared_ptr<ImageBuffer> convertImage(const ImageBuffer& from, Depth depth, int rowBytesPadding = 0,
                                          bool bottomUp = false);

// One parameter as the plug-in described it.
struct ParamInfo {
    std::string name, type /* kOfxParamTypeChoice etc. */, label, shortLabel, longLabel, hint, parent;
    std::vector<std::string> options;
    std::vector<double> defaultValue, min, max, displayMin, displayMax;
    double increment = 0;
    bool animates = false, enabled = true, secret = false, open = false;
    std::string defaultString;  // default of a string parameter
};

// One clip as the plug-in described it.
struct ClipInfo {
    std::string name;
    std::vector<std::string> components;
    bool temporalAccess = false, tiles = true, isMask = false, optional = false;
};

// Everything the plug-in describes about itself in one context.
struct PluginDescription {
    std::string identifier;
    unsigned versionMajor = 0, versionMinor = 0;
    std::string label, shortLabel, longLabel, grouping, description;
    std::vector<std::string> contexts, depths;
    bool singleInstance = false, hostFrameThreading = false, multiResolution = false, tiles = false;
    std::string renderThreadSafety;
    std::vector<ClipInfo> clips;
    std::vector<ParamInfo> params;  // in definition order
    std::string error;              // empty when load, describe and describeInContext succeeded
};

// What the plug-in said through the message suite.
struct MessageRecord {
    std::string type, id, text;
    bool persistent = false;  // set through setPersistentMessage (message suite V2)
};

class Instance;
namespace detail {
struct BundleState;
}

// A loaded plug-in binary.
class Bundle {
public:
    // Accepts an "X.ofx.bundle" folder or the binary itself. Null with a
    // readable reason in error when the binary cannot be loaded or lacks the
    // OpenFX entry points.
    static std::unique_ptr<Bundle> load(const std::string& bundleOrBinaryPath, std::string& error);
    // Sends kOfxActionUnload to loaded plug-ins, then unloads the binary once
    // the last instance created from it is gone.
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // Path of the binary that was loaded.
    std::string binaryPath() const;
    int pluginCount() const;
    // Loads and describes the plug-in (kOfxActionLoad, kOfxActionDescribe,
    // kOfxImageEffectActionDescribeInContext). Failures land in .error.
    PluginDescription describe(int pluginIndex, const std::string& context = "OfxImageEffectContextFilter");
    // Creates an instance (kOfxActionCreateInstance); restoredValues are in
    // place before the action, as when a host restores a project. Null on
    // failure, with the reason in lastError().
    std::unique_ptr<Instance> createInstance(int pluginIndex,
                                             const std::string& context = "OfxImageEffectContextFilter",
                                             const std::map<std::string, std::vector<double>>& restoredValues = {});
    // Why the last describe or createInstance failed.
    std::string lastError() const;

private:
    Bundle() = default;
    std::shared_ptr<detail::BundleState> state_;
};

// One effect instance. Safe to render from several threads at once.
class Instance {
public:
    ~Instance();  // kOfxActionDestroyInstance
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Status of the last action sent to the plug-in.
    OfxStatus lastStatus() const;
    // Current value: one double per dimension for numeric, boolean and choice
    // (index) parameters; empty for unknown names and valueless types.
    std::vector<double> value(const std::string& param) const;
    // Value of a string parameter.
    std::string stringValue(const std::string& param) const;
    // A user edit: sets the value (clamped to the range), then sends
    // begin / instanceChanged(kOfxChangeUserEdited) / end.
    OfxStatus setValue(const std::string& param, std::vector<double> v);
    OfxStatus setStringValue(const std::string& param, const std::string& v);
    // A press of a push button: begin / instanceChanged / end.
    OfxStatus pressButton(const std::string& param);
    bool enabled(const std::string& param) const;
    bool secret(const std::string& param) const;
    // Asks the plug-in to flush its private data into parameters.
    OfxStatus syncPrivateData();
    // Connects an image to a clip (nullptr disconnects). The host keeps
    // ownership; the plug-in fetches and releases images of it.
    void setClipImage(const std::string& clip, std::shared_ptr<ImageBuffer> image);
    // kOfxImageEffectActionBeginSequenceRender / EndSequenceRender for frames first..last.
    OfxStatus beginSequenceRender(double first, double last, double renderScaleX = 1.0, double renderScaleY = 1.0);
    OfxStatus endSequenceRender(double first, double last, double renderScaleX = 1.0, double renderScaleY = 1.0);
    // kOfxImageEffectActionRender; may be called from several threads at once
    // (the host serialises itself where the plug-in declares less safety).
    OfxStatus render(double time, RectI window, double renderScaleX = 1.0, double renderScaleY = 1.0);
    // What the image-effect suite's abort reports from now on.
    void setAbort(bool abort);
    // Message-suite calls seen so far for this instance.
    std::vector<MessageRecord> messages() const;
    // The message set through setPersistentMessage and not yet cleared.
    std::optional<MessageRecord> persistentMessage() const;
    // Images fetched through clipGetImage and not yet released.
    int outstandingImages() const;
    // The OpenFX handle the plug-in sees for this instance.
    void* handle() const;

    struct Impl;

private:
    friend class Bundle;
    explicit Instance(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The OfxHost structure handed to plug-ins (host properties and suite
// fetcher); exposed so that tests can exercise the suites directly.
const OfxHost* hostStruct();

// Messages sent with a null or unknown handle (not attributable to an instance).
std::vector<MessageRecord> unattributedMessages();

}  // namespace ofxhost

#endif
