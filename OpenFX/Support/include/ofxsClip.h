// OFX C++ layer: clip descriptors, clips and the images fetched from them.
#pragma once

#include <string>

#include "ofxsCore.h"
#include "ofxsProperty.h"

namespace OFX {

// Writes the properties of one clip at describe time.
class ClipDescriptor {
public:
    ClipDescriptor(const std::string& name, OfxPropertySetHandle props);
    ClipDescriptor(const ClipDescriptor&) = delete;
    ClipDescriptor& operator=(const ClipDescriptor&) = delete;

    const std::string& getName() const;
    // Adds one accepted kind of pixel components.
    void addSupportedComponent(PixelComponentEnum components);
    void setTemporalClipAccess(bool enabled);
    void setSupportsTiles(bool enabled);
    void setIsMask(bool mask);
    void setOptional(bool optional);

private:
    std::string name_;
    PropertySet props_;
    int components_ = 0;
};

// One image from the host; the destructor hands it back (clipReleaseImage).
// The properties are read once, when it is fetched.
class Image {
public:
    // Takes over the host's image handle; releases it again if reading its properties fails.
    explicit Image(OfxPropertySetHandle handle);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Address of pixel (bounds.x1, bounds.y1); may be null.
    void* getPixelData() const;
    // The pixels held in memory.
    OfxRectI getBounds() const;
    OfxRectI getRegionOfDefinition() const;
    // Bytes from one row to the next; negative for bottom-up storage.
    int getRowBytes() const;
    BitDepthEnum getPixelDepth() const;
    PixelComponentEnum getPixelComponents() const;
    int getPixelComponentCount() const;
    // The host's identifier of these pixels; empty when it gives none.
    std::string getUniqueIdentifier() const;
    OfxPointD getRenderScale() const;
    // Null outside the bounds, without data, or for an unknown depth or components.
    void* getPixelAddress(int x, int y) const;

private:
    OfxPropertySetHandle handle_;
    void* data_ = nullptr;
    OfxRectI bounds_{0, 0, 0, 0};
    OfxRectI rod_{0, 0, 0, 0};
    int rowBytes_ = 0;
    BitDepthEnum depth_ = eBitDepthNone;
    PixelComponentEnum components_ = ePixelComponentNone;
    std::string uniqueId_;
    OfxPointD renderScale_{1.0, 1.0};
};

// A clip of an effect instance.
class Clip {
public:
    Clip(const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props);
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;

    const std::string& name() const;
    OfxImageClipHandle getHandle() const;
    // Whether the host has an input attached; false when it cannot say.
    bool isConnected() const;
    PixelComponentEnum getPixelComponents() const;
    BitDepthEnum getPixelDepth() const;
    // Caller owns; null when the host gives none.
    Image* fetchImage(double time);

private:
    std::string name_;
    OfxImageClipHandle handle_;
    PropertySet props_;
};

}  // namespace OFX
