// Turning a frame into colour points: nearest-pixel sampling bounded by a
// point cap, the black-border trim, and the records handed to the viewer.
#pragma once

#include "pixel_view.h"

#include "Shared/exchange.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

namespace orvalis::plugin {

// One sampled colour; alpha is never read.
struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

// Samples in row order, bottom row first, left to right; gw * gh of them.
struct SampleGrid {
    int gw = 0;
    int gh = 0;
    std::vector<Rgb> samples;
};

// Allocator for storage aligned to Align bytes (the record lists are read
// with aligned vector loads on the viewer side).
template <class T, std::size_t Align>
struct AlignedAllocator {
    static_assert(Align >= alignof(T) && (Align & (Align - 1)) == 0);
    using value_type = T;
    template <class U>
    struct rebind {
        using other = AlignedAllocator<U, Align>;
    };

    AlignedAllocator() noexcept = default;
    template <class U>
    AlignedAllocator(const AlignedAllocator<U, Align>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{Align}));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, std::align_val_t{Align}); }

    template <class U>
    bool operator==(const AlignedAllocator<U, Align>&) const noexcept { return true; }
};

// A list of point records in 32-byte aligned storage.
using PointRecordList = std::vector<exchange::PointRecord, AlignedAllocator<exchange::PointRecord, 32>>;

// Width and height of the fixed crop window (the default cube map's extent).
inline constexpr int kCropWidth = 180;
inline constexpr int kCropHeight = 150;

// Colour of pixel (px, py), counted from the bounds origin, py upwards:
// bytes / 255, shorts / 65535, floats unchanged. Callers keep it in bounds.
Rgb readColour(const PixelView& view, int px, int py) noexcept;

// Nearest-pixel grid of at most cap samples, keeping the image's aspect.
// Empty (0 x 0) when the view has no pixels.
SampleGrid sampleGrid(const PixelView& view, std::uint32_t cap);

// The smallest sub-grid holding every non-black sample (any channel above
// 0.001); the whole grid when every sample is black; empty when it is.
SampleGrid trimBlackBorder(const SampleGrid& grid);

// Every pixel of the 180 x 150 window at the bounds origin (less when the
// image is smaller), row by row from the bottom; empty without pixels.
std::vector<Rgb> cropSamples(const PixelView& view);

// One record per sample, in order: position (B, G, R), colour (R, G, B).
PointRecordList buildPointRecords(std::span<const Rgb> samples);

// Point cap for a "downsample" choice (0 = 100% ... 4 = 10%).
std::uint32_t pointCapForDownsample(int option) noexcept;

// The whole sampling of one frame: the crop window, or the capped grid with
// its black border trimmed, turned into records. Empty without pixels.
PointRecordList samplePoints(const PixelView& view, bool crop, int downsampleOption);

}  // namespace orvalis::plugin
