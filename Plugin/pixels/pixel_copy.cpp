#include "pixel_copy.h"

#include <algorithm>
#include <cstring>

namespace orvalis::plugin {

bool copyPixels(const PixelView& src, const MutablePixelView& dst) noexcept {
    // A single block copy of the source's bytes would overrun an output
    // with other bounds or row bytes, so every row goes at its own stride.
    if (src.depth != dst.depth || src.depth == PixelDepth::Other || !isUsable(src) || !isUsable(dst)) {
        return false;
    }
    const int x1 = std::max(src.x1, dst.x1);
    const int y1 = std::max(src.y1, dst.y1);
    const int x2 = std::min(src.x2, dst.x2);
    const int y2 = std::min(src.y2, dst.y2);
    if (x1 >= x2 || y1 >= y2) {
        return false;
    }
    const std::size_t rowLength = static_cast<std::size_t>(x2 - x1) * bytesPerPixel(src.depth);
    const unsigned char* from = pixelAddress(src, x1 - src.x1, y1 - src.y1);
    unsigned char* to = pixelAddress(dst, x1 - dst.x1, y1 - dst.y1);
    // Contiguous, same-stride buffers go in one call.
    if (src.rowBytes == dst.rowBytes && src.rowBytes > 0 && rowLength == static_cast<std::size_t>(src.rowBytes)) {
        std::memmove(to, from, rowLength * static_cast<std::size_t>(y2 - y1));
        return true;
    }
    for (int y = y1; y < y2; ++y) {
        std::memmove(to, from, rowLength);
        from += src.rowBytes;
        to += dst.rowBytes;
    }
    return true;
}

}  // namespace orvalis::plugin
