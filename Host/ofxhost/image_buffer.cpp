// Host-allocated RGBA images and depth conversion.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "ofxImageEffect.h"
#include "ofxhost/host.h"

namespace ofxhost {

int bytesPerComponent(Depth depth) {
    switch (depth) {
    case Depth::UByte: return 1;
    case Depth::UShort: return 2;
    case Depth::Float: return 4;
    }
    return 4;
}

const char* depthName(Depth depth) {
    switch (depth) {
    case Depth::UByte: return kOfxBitDepthByte;
    case Depth::UShort: return kOfxBitDepthShort;
    case Depth::Float: return kOfxBitDepthFloat;
    }
    return kOfxBitDepthNone;
}

std::optional<Depth> parseDepth(const std::string& text) {
    if (text == "8" || text == kOfxBitDepthByte)
        return Depth::UByte;
    if (text == "16" || text == kOfxBitDepthShort)
        return Depth::UShort;
    if (text == "float" || text == "32" || text == kOfxBitDepthFloat)
        return Depth::Float;
    return std::nullopt;
}

ImageBuffer::ImageBuffer(Depth depth, RectI bounds, int rowBytesPadding, bool bottomUp)
    : depth_(depth), bounds_(bounds) {
    if (bounds_.x2 < bounds_.x1)
        bounds_.x2 = bounds_.x1;
    if (bounds_.y2 < bounds_.y1)
        bounds_.y2 = bounds_.y1;
    const int bpc = bytesPerComponent(depth);
    const int padding = (std::max(rowBytesPadding, 0) + bpc - 1) / bpc * bpc;
    const int stride = width() * 4 * bpc + padding;
    storage_.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height()), 0);
    rowBytes_ = bottomUp ? -stride : stride;
    originOffset_ = (bottomUp && height() > 0) ? static_cast<std::ptrdiff_t>(stride) * (height() - 1) : 0;
}

void* ImageBuffer::data() { return storage_.empty() ? nullptr : storage_.data() + originOffset_; }
const void* ImageBuffer::data() const { return storage_.empty() ? nullptr : storage_.data() + originOffset_; }

void* ImageBuffer::pixelAddress(int x, int y) {
    return const_cast<void*>(static_cast<const ImageBuffer*>(this)->pixelAddress(x, y));
}

const void* ImageBuffer::pixelAddress(int x, int y) const {
    if (x < bounds_.x1 || x >= bounds_.x2 || y < bounds_.y1 || y >= bounds_.y2)
        return nullptr;
    const auto* origin = static_cast<const unsigned char*>(data());
    return origin + static_cast<std::ptrdiff_t>(y - bounds_.y1) * rowBytes_ +
           static_cast<std::ptrdiff_t>(x - bounds_.x1) * 4 * bytesPerComponent(depth_);
}

namespace {

template <typename T>
T quantise(float v, float scale) {
    if (!(v > 0.0f))
        return 0;  // NaN and negatives
    if (v >= 1.0f)
        return static_cast<T>(scale);
    return static_cast<T>(v * scale + 0.5f);
}

}  // namespace

void ImageBuffer::setPixel(int x, int y, const float rgba[4]) {
    void* p = pixelAddress(x, y);
    if (!p)
        return;
    switch (depth_) {
    case Depth::UByte: {
        auto* q = static_cast<std::uint8_t*>(p);
        for (int c = 0; c < 4; ++c)
            q[c] = quantise<std::uint8_t>(rgba[c], 255.0f);
        break;
    }
    case Depth::UShort: {
        auto* q = static_cast<std::uint16_t*>(p);
        for (int c = 0; c < 4; ++c)
            q[c] = quantise<std::uint16_t>(rgba[c], 65535.0f);
        break;
    }
    case Depth::Float: std::memcpy(p, rgba, 4 * sizeof(float)); break;
    }
}

void ImageBuffer::getPixel(int x, int y, float rgba[4]) const {
    const void* p = pixelAddress(x, y);
    if (!p) {
        std::fill(rgba, rgba + 4, 0.0f);
        return;
    }
    switch (depth_) {
    case Depth::UByte: {
        const auto* q = static_cast<const std::uint8_t*>(p);
        for (int c = 0; c < 4; ++c)
            rgba[c] = q[c] / 255.0f;
        break;
    }
    case Depth::UShort: {
        const auto* q = static_cast<const std::uint16_t*>(p);
        for (int c = 0; c < 4; ++c)
            rgba[c] = q[c] / 65535.0f;
        break;
    }
    case Depth::Float: std::memcpy(rgba, p, 4 * sizeof(float)); break;
    }
}

void ImageBuffer::fill(const float rgba[4]) {
    for (int y = bounds_.y1; y < bounds_.y2; ++y)
        for (int x = bounds_.x1; x < bounds_.x2; ++x)
            setPixel(x, y, rgba);
}

std::shared_ptr<ImageBuffer> convertImage(const ImageBuffer& from, Depth depth, int rowBytesPadding, bool bottomUp) {
    auto to = std::make_shared<ImageBuffer>(depth, from.bounds(), rowBytesPadding, bottomUp);
    to->uniqueIdentifier = from.uniqueIdentifier;
    const RectI b = from.bounds();
    float rgba[4];
    for (int y = b.y1; y < b.y2; ++y)
        for (int x = b.x1; x < b.x2; ++x) {
            from.getPixel(x, y, rgba);
            to->setPixel(x, y, rgba);
        }
    return to;
}

}  // namespace ofxhost
