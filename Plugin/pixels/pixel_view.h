// A plain description of an RGBA image buffer, so that sampling, the cube
// map and the pass-through copy can be written and tested without a host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace orvalis::plugin {

// The fixed window at the bounds origin that the cube map backs in black
// and that "crop to cube map" samples: the default map's extent.
inline constexpr int kBackingWidth = 180;
inline constexpr int kBackingHeight = 150;

// Component type of an RGBA pixel. Other is whatever the host reported that
// we do not know; sampling reads it as unsigned byte, writers refuse it.
enum class PixelDepth { UByte, UShort, Float, Other };

// Bytes in one component of the given depth (Other counts as a byte).
constexpr int bytesPerComponent(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::UShort: return 2;
    case PixelDepth::Float: return 4;
    default: return 1;
    }
}

// Bytes in one RGBA pixel of the given depth.
constexpr int bytesPerPixel(PixelDepth depth) noexcept { return 4 * bytesPerComponent(depth); }

// A source image, read only. data is the address of pixel (x1, y1); rows go
// upwards and may be padded or stored top-down (negative rowBytes).
struct PixelView {
    const void* data = nullptr;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // x2, y2 exclusive
    std::ptrdiff_t rowBytes = 0;
    PixelDepth depth = PixelDepth::UByte;
};

// An output image, written by the cube map and the pass-through copy.
struct MutablePixelView {
    void* data = nullptr;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::ptrdiff_t rowBytes = 0;
    PixelDepth depth = PixelDepth::UByte;
};

// The same buffer seen read only.
inline PixelView readOnly(const MutablePixelView& v) noexcept {
    return PixelView{v.data, v.x1, v.y1, v.x2, v.y2, v.rowBytes, v.depth};
}

// Width and height in 64 bits, so that hostile bounds cannot overflow.
template <class View>
constexpr std::int64_t viewWidth(const View& v) noexcept {
    return std::int64_t{v.x2} - v.x1;
}
template <class View>
constexpr std::int64_t viewHeight(const View& v) noexcept {
    return std::int64_t{v.y2} - v.y1;
}

// True when the view has pixels: a buffer, a non-empty area, and rows at
// least one pixel row apart (a shorter stride is not the layout the host
// claims, and reading it could run off the buffer).
template <class View>
constexpr bool isUsable(const View& v) noexcept {
    const std::int64_t w = viewWidth(v);
    const std::int64_t h = viewHeight(v);
    if (v.data == nullptr || w < 1 || h < 1) {
        return false;
    }
    if (w > std::numeric_limits<int>::max() || h > std::numeric_limits<int>::max()) {
        return false;
    }
    const std::int64_t stride = v.rowBytes < 0 ? -std::int64_t{v.rowBytes} : std::int64_t{v.rowBytes};
    return stride >= w * bytesPerPixel(v.depth);
}

// Address of the pixel px columns right and py rows up from the bounds
// origin; callers keep px and py inside the bounds.
inline const unsigned char* pixelAddress(const PixelView& v, int px, int py) noexcept {
    return static_cast<const unsigned char*>(v.data) + static_cast<std::ptrdiff_t>(py) * v.rowBytes +
           static_cast<std::ptrdiff_t>(px) * bytesPerPixel(v.depth);
}
inline unsigned char* pixelAddress(const MutablePixelView& v, int px, int py) noexcept {
    return static_cast<unsigned char*>(v.data) + static_cast<std::ptrdiff_t>(py) * v.rowBytes +
           static_cast<std::ptrdiff_t>(px) * bytesPerPixel(v.depth);
}

// A component as a float in the image's own scale (byte / 255, short /
// 65535, float unchanged). Loads go through memcpy because hosts may hand
// over rows at any byte stride.
template <class Pix>
inline float loadUnit(const unsigned char* p) noexcept {
    Pix v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::is_same_v<Pix, std::uint8_t>) {
        return static_cast<float>(v) / 255.0f;
    } else if constexpr (std::is_same_v<Pix, std::uint16_t>) {
        return static_cast<float>(v) / 65535.0f;
    } else {
        return v;
    }
}

}  // namespace orvalis::plugin
