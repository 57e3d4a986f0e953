// The pass-through of 3D visualization mode: the source copied into the
// output unchanged.
#pragma once

#include "pixel_view.h"

namespace orvalis::plugin {

// Copies the pixels the two images have in common (the intersection of
// their bounds, in absolute coordinates) row by row, each image at its own
// row bytes. Copies nothing and returns false when the depths differ or are
// unknown, when either image has no pixels, or when the bounds do not meet.
bool copyPixels(const PixelView& src, const MutablePixelView& dst) noexcept;

}  // namespace orvalis::plugin
