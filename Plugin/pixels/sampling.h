// Turning a frame into colour points: nearest-pixel sampling bounded by a
// point cap, the black-border trim, and the records handed to the viewer.
#pragma once

#include "pixel_view.h"

#include "Shared/point_list.h"

#include <cstddef>
#include <cstdint>
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

using orvalis::PointRecordList;

// Nearest-pixel grid of at most cap samples, keeping the image's aspect.
// Empty (0 x 0) when the view has no pixels.
SampleGrid sampleGrid(const PixelView& view, std::uint32_t cap);

// Cuts the grid in place to the smallest sub-grid holding every non-black
// sample (any channel above 0.001); keeps the whole grid when every sample
// is black; leaves it empty when it is.
void trimBlackBorder(SampleGrid& grid);

// Every pixel of the 180 x 150 window at the bounds origin (less when the
// image is smaller), row by row from the bottom; empty without pixels.
std::vector<Rgb> cropSamples(const PixelView& view);

// One record per sample, in order: position (B, G, R), colour (R, G, B).
PointRecordList buildPointRecords(std::span<const Rgb> samples);

// The whole sampling of one frame: the crop window, or the capped grid with
// its black border trimmed, turned into records. Empty without pixels.
PointRecordList samplePoints(const PixelView& view, bool crop, std::uint32_t cap);

}  // namespace orvalis::plugin
