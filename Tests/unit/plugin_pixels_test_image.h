// An RGBA test image in any depth and row layout: padded rows, top-down
// (negative row bytes) rows, bounds anywhere. Storage is exactly as large as
// the layout needs, so AddressSanitizer catches any access past it; padding
// bytes hold a sentinel so that stray writes inside it show too.
#pragma once

#include "pixels/pixel_view.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvalis::plugin::testing {

inline constexpr unsigned char kSentinel = 0xCD;

class TestImage {
public:
    TestImage(int x1, int y1, int width, int height, PixelDepth depth, int padBytes = 0, bool topDown = false)
        : x1_(x1),
          y1_(y1),
          width_(width),
          height_(height),
          depth_(depth),
          topDown_(topDown),
          stride_(static_cast<std::ptrdiff_t>(width) * bytesPerPixel(depth) + padBytes),
          storage_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height), kSentinel) {
        fillBytes(0);  // padding keeps the sentinel
    }

    std::ptrdiff_t rowBytes() const { return topDown_ ? -stride_ : stride_; }

    PixelView view() const {
        return PixelView{rowAddress(0), x1_, y1_, x1_ + width_, y1_ + height_, rowBytes(), depth_};
    }
    MutablePixelView mutableView() {
        return MutablePixelView{rowAddress(0), x1_, y1_, x1_ + width_, y1_ + height_, rowBytes(), depth_};
    }

    template <class T>
    void set(int px, int py, T r, T g, T b, T a) {
        const T v[4] = {r, g, b, a};
        std::memcpy(rowAddress(py) + static_cast<std::size_t>(px) * 4 * sizeof(T), v, sizeof v);
    }

    // Sets a pixel from 0..1 values in whatever depth the image has.
    void setUnit(int px, int py, float r, float g, float b, float a = 1.0f) {
        switch (depth_) {
        case PixelDepth::UShort: set<std::uint16_t>(px, py, toU16(r), toU16(g), toU16(b), toU16(a)); break;
        case PixelDepth::Float: set<float>(px, py, r, g, b, a); break;
        default: set<std::uint8_t>(px, py, toU8(r), toU8(g), toU8(b), toU8(a)); break;
        }
    }
    void fillUnit(float r, float g, float b, float a = 1.0f) {
        for (int py = 0; py < height_; ++py) {
            for (int px = 0; px < width_; ++px) {
                setUnit(px, py, r, g, b, a);
            }
        }
    }

    // True when every padding byte still holds the sentinel.
    bool paddingIntact() const {
        const std::size_t used = static_cast<std::size_t>(width_) * bytesPerPixel(depth_);
        for (int py = 0; py < height_; ++py) {
            const unsigned char* row = rowAddress(py);
            for (std::size_t i = used; i < static_cast<std::size_t>(stride_); ++i) {
                if (row[i] != kSentinel) {
                    return false;
                }
            }
        }
        return true;
    }

    void fillBytes(unsigned char b) {
        for (int py = 0; py < height_; ++py) {
            std::memset(rowAddress(py), b, static_cast<std::size_t>(width_) * bytesPerPixel(depth_));
        }
    }

    const unsigned char* pixelBytes(int px, int py) const {
        return rowAddress(py) + static_cast<std::size_t>(px) * bytesPerPixel(depth_);
    }

private:
    static std::uint8_t toU8(float v) { return static_cast<std::uint8_t>(v * 255.0f + 0.5f); }
    static std::uint16_t toU16(float v) { return static_cast<std::uint16_t>(v * 65535.0f + 0.5f); }

    unsigned char* rowAddress(int py) const {
        const int memRow = topDown_ ? height_ - 1 - py : py;
        return const_cast<unsigned char*>(storage_.data()) + static_cast<std::ptrdiff_t>(memRow) * stride_;
    }

    int x1_, y1_, width_, height_;
    PixelDepth depth_;
    bool topDown_;
    std::ptrdiff_t stride_;
    std::vector<unsigned char> storage_;
};

// Checks every pixel of `image`: inside the window (bounds coordinates, end
// exclusive) the bytes `reference` has at the same place, elsewhere `fill`
// in every byte; and its padding untouched.
inline void expectWrittenOnlyIn(const TestImage& image, int x1, int y1, int x2, int y2, const TestImage& reference,
                                unsigned char fill) {
    const PixelView d = image.view(), r = reference.view();
    const int bpp = bytesPerPixel(d.depth);
    for (int y = d.y1; y < d.y2; ++y) {
        for (int x = d.x1; x < d.x2; ++x) {
            const unsigned char* got = image.pixelBytes(x - d.x1, y - d.y1);
            if (x >= x1 && x < x2 && y >= y1 && y < y2) {
                ASSERT_EQ(std::memcmp(got, reference.pixelBytes(x - r.x1, y - r.y1), bpp), 0) << x << "," << y;
            } else {
                for (int i = 0; i < bpp; ++i) {
                    ASSERT_EQ(got[i], fill) << x << "," << y;
                }
            }
        }
    }
    EXPECT_TRUE(image.paddingIntact());
}

}  // namespace orvalis::plugin::testing
