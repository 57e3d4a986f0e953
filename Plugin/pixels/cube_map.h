// The cube map: N x N x N colours as N square tiles of N x N pixels in the
// bottom-left corner of the output, over a fixed 180 x 150 black backing,
// with the source showing through elsewhere.
#pragma once

#include "pixel_view.h"

#include <cstdint>
#include <functional>

namespace orvalis::plugin {

// Geometry of the map for a number of steps per channel.
struct CubeMapLayout {
    int steps = 30;       // N, 2..64
    int tilesPerRow = 6;  // T = ceil(sqrt(N))
    int width = 180;      // W = T * N
    int height = 150;     // H = ceil(N / T) * N
    int divisor = 29;     // D = N - 1
};

// Layout for the "cubeMapSize" value, clamped to 2..64.
CubeMapLayout cubeMapLayout(int steps) noexcept;

// A colour with alpha, in the image's 0..1 scale.
struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// Colour of output pixel (x, y) (absolute coordinates) for an output whose
// bounds start at (originX, originY): a map tile, the black backing, the
// source pixel when source has one there (may be null), else transparent.
Rgba cubeMapColour(const CubeMapLayout& layout, int originX, int originY, const PixelView* source, int x,
                   int y) noexcept;

// Writes row y of the cube map for x in [x1, x2), clipped to the output's
// bounds. Pix is the output's component type (std::uint8_t, std::uint16_t or
// float) and must match out.depth; source may be null. 8- and 16-bit values
// are clamped to 0..1 and rounded, floats written unchanged.
template <class Pix>
void renderCubeMapRow(const MutablePixelView& out, const PixelView* source, const CubeMapLayout& layout, int y, int x1,
                      int x2) noexcept;

extern template void renderCubeMapRow<std::uint8_t>(const MutablePixelView&, const PixelView*, const CubeMapLayout&,
                                                    int, int, int) noexcept;
extern template void renderCubeMapRow<std::uint16_t>(const MutablePixelView&, const PixelView*, const CubeMapLayout&,
                                                     int, int, int) noexcept;
extern template void renderCubeMapRow<float>(const MutablePixelView&, const PixelView*, const CubeMapLayout&, int, int,
                                             int) noexcept;

// A render window in output pixel coordinates, x2 and y2 exclusive.
struct RenderWindow {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Renders the window row by row from the bottom, asking shouldAbort (when
// given) before each row and stopping when it says so. Returns false, having
// written nothing, when the output has no buffer or a depth other than
// byte, short or float.
bool renderCubeMap(const MutablePixelView& out, const PixelView* source, const RenderWindow& window, int steps,
                   const std::function<bool()>& shouldAbort = {});

}  // namespace orvalis::plugin
