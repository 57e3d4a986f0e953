#include "cube_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace orvalis::plugin {

namespace {

// Map tile or black backing at (fx, fy) from the bounds origin; false when
// neither covers the pixel and the source (or nothing) shows.
inline bool mapColour(const CubeMapLayout& layout, float fx, float fy, Rgba& c) noexcept {
    const float n = static_cast<float>(layout.steps);
    const float d = static_cast<float>(layout.divisor);
    if (fx >= 0.0f && fx < static_cast<float>(layout.width) && fy >= 0.0f && fy < static_cast<float>(layout.height)) {
        const float tx = std::floor(fx / n);
        const float ty = std::floor(fy / n);
        const int k = layout.tilesPerRow * static_cast<int>(ty) + static_cast<int>(tx);
        if (k < layout.steps) {
            c = Rgba{(fx - tx * n) / d, (fy - ty * n) / d, static_cast<float>(k) / d, 1.0f};
            return true;
        }
    }
    if (fx >= 0.0f && fx < static_cast<float>(kBackingWidth) && fy >= 0.0f && fy < static_cast<float>(kBackingHeight)) {
        c = Rgba{0.0f, 0.0f, 0.0f, 1.0f};
        return true;
    }
    return false;
}

template <class Pix>
inline Rgba loadRgbaAs(const unsigned char* p) noexcept {
    return Rgba{loadUnit<Pix>(p), loadUnit<Pix>(p + sizeof(Pix)), loadUnit<Pix>(p + 2 * sizeof(Pix)),
                loadUnit<Pix>(p + 3 * sizeof(Pix))};
}

// The source is read at its own depth: reading it at the output's could run
// past its rows when a host hands the two clips over at different depths.
inline Rgba loadRgba(const unsigned char* p, PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::UShort: return loadRgbaAs<std::uint16_t>(p);
    case PixelDepth::Float: return loadRgbaAs<float>(p);
    default: return loadRgbaAs<std::uint8_t>(p);
    }
}

template <class Pix>
inline Pix toComponent(float v) noexcept {
    if constexpr (std::is_same_v<Pix, float>) {
        return v;
    } else {
        constexpr float scale = std::is_same_v<Pix, std::uint8_t> ? 255.0f : 65535.0f;
        // NaN counts as 0 rather than reaching an undefined conversion.
        const float q = v >= 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
        return static_cast<Pix>(q * scale + 0.5f);
    }
}

template <class Pix>
constexpr PixelDepth depthOf() noexcept {
    if constexpr (std::is_same_v<Pix, std::uint8_t>) {
        return PixelDepth::UByte;
    } else if constexpr (std::is_same_v<Pix, std::uint16_t>) {
        return PixelDepth::UShort;
    } else {
        return PixelDepth::Float;
    }
}

template <class Pix>
inline void storeRgba(unsigned char* p, const Rgba& c) noexcept {
    const Pix px[4] = {toComponent<Pix>(c.r), toComponent<Pix>(c.g), toComponent<Pix>(c.b), toComponent<Pix>(c.a)};
    std::memcpy(p, px, sizeof px);
}

}  // namespace

CubeMapLayout cubeMapLayout(int steps) noexcept {
    const int n = std::clamp(steps, 2, 64);
    const float nf = static_cast<float>(n);
    CubeMapLayout layout;
    layout.steps = n;
    layout.tilesPerRow = static_cast<int>(std::ceil(std::sqrt(nf)));
    layout.width = layout.tilesPerRow * n;
    layout.height = static_cast<int>(std::ceil(nf / static_cast<float>(layout.tilesPerRow))) * n;
    layout.divisor = n - 1;
    return layout;
}

Rgba cubeMapColour(const CubeMapLayout& layout, int originX, int originY, const PixelView* source, int x,
                   int y) noexcept {
    Rgba c;
    const float fx = static_cast<float>(std::int64_t{x} - originX);
    const float fy = static_cast<float>(std::int64_t{y} - originY);
    if (mapColour(layout, fx, fy, c)) {
        return c;
    }
    if (source != nullptr && isUsable(*source) && x >= source->x1 && x < source->x2 && y >= source->y1 &&
        y < source->y2) {
        return loadRgba(pixelAddress(*source, x - source->x1, y - source->y1), source->depth);
    }
    return Rgba{};
}

template <class Pix>
void renderCubeMapRow(const MutablePixelView& out, const PixelView* source, const CubeMapLayout& layout, int y, int x1,
                      int x2) noexcept {
    // Only pixels inside the output's bounds are written, whatever window
    // the caller asks for.
    if (!isUsable(out) || y < out.y1 || y >= out.y2) {
        return;
    }
    x1 = std::max(x1, out.x1);
    x2 = std::min(x2, out.x2);
    if (x1 >= x2) {
        return;
    }
    constexpr int outPixelBytes = 4 * sizeof(Pix);
    unsigned char* dst = pixelAddress(out, x1 - out.x1, y - out.y1);
    const int fyi = y - out.y1;
    const float fy = static_cast<float>(fyi);

    // The source row, when the source has one at y.
    const unsigned char* srcRow = nullptr;
    int srcX1 = 0, srcX2 = 0, srcPixelBytes = 0;
    PixelDepth srcDepth = PixelDepth::UByte;
    if (source != nullptr && isUsable(*source) && y >= source->y1 && y < source->y2) {
        srcRow = pixelAddress(*source, 0, y - source->y1);
        srcX1 = source->x1;
        srcX2 = source->x2;
        srcDepth = source->depth;
        srcPixelBytes = bytesPerPixel(srcDepth);
    }

    // Left part of the row, where the map or the backing may cover pixels:
    // colour by colour.
    int covered = 0;
    if (fyi < kBackingHeight) {
        covered = kBackingWidth;
    }
    if (fyi < layout.height) {
        covered = std::max(covered, layout.width);
    }
    const int mapEnd = static_cast<int>(std::min<std::int64_t>(x2, std::int64_t{out.x1} + covered));
    int x = x1;
    for (; x < mapEnd; ++x, dst += outPixelBytes) {
        Rgba c;
        if (!mapColour(layout, static_cast<float>(x - out.x1), fy, c) && srcRow != nullptr && x >= srcX1 && x < srcX2) {
            c = loadRgba(srcRow + static_cast<std::ptrdiff_t>(x - srcX1) * srcPixelBytes, srcDepth);
        }
        storeRgba<Pix>(dst, c);
    }
    if (x >= x2) {
        return;
    }

    // The rest shows the source or nothing. Transparent is all-zero bytes
    // in every depth; a source of the output's own depth goes through as
    // bytes, which equals converting each value there and back.
    const int srcBegin = srcRow != nullptr ? std::clamp(srcX1, x, x2) : x2;
    const int srcEnd = srcRow != nullptr ? std::clamp(srcX2, srcBegin, x2) : x2;
    std::memset(dst, 0, static_cast<std::size_t>(srcBegin - x) * outPixelBytes);
    dst += static_cast<std::ptrdiff_t>(srcBegin - x) * outPixelBytes;
    if (srcBegin < srcEnd) {
        const unsigned char* from = srcRow + static_cast<std::ptrdiff_t>(srcBegin - srcX1) * srcPixelBytes;
        if (srcDepth == depthOf<Pix>()) {
            std::memcpy(dst, from, static_cast<std::size_t>(srcEnd - srcBegin) * outPixelBytes);
            dst += static_cast<std::ptrdiff_t>(srcEnd - srcBegin) * outPixelBytes;
        } else {
            for (int i = srcBegin; i < srcEnd; ++i, from += srcPixelBytes, dst += outPixelBytes) {
                storeRgba<Pix>(dst, loadRgba(from, srcDepth));
            }
        }
    }
    std::memset(dst, 0, static_cast<std::size_t>(x2 - srcEnd) * outPixelBytes);
}

template void renderCubeMapRow<std::uint8_t>(const MutablePixelView&, const PixelView*, const CubeMapLayout&, int, int,
                                             int) noexcept;
template void renderCubeMapRow<std::uint16_t>(const MutablePixelView&, const PixelView*, const CubeMapLayout&, int, int,
                                              int) noexcept;
template void renderCubeMapRow<float>(const MutablePixelView&, const PixelView*, const CubeMapLayout&, int, int,
                                      int) noexcept;

bool renderCubeMap(const MutablePixelView& out, const PixelView* source, const RenderWindow& window, int steps,
                   const std::function<bool()>& shouldAbort) {
    using RowFn = void (*)(const MutablePixelView&, const PixelView*, const CubeMapLayout&, int, int, int) noexcept;
    RowFn row = nullptr;
    switch (out.depth) {
    case PixelDepth::UByte: row = &renderCubeMapRow<std::uint8_t>; break;
    case PixelDepth::UShort: row = &renderCubeMapRow<std::uint16_t>; break;
    case PixelDepth::Float: row = &renderCubeMapRow<float>; break;
    default: return false;
    }
    if (!isUsable(out)) {
        return false;
    }
    const CubeMapLayout layout = cubeMapLayout(steps);
    const int y1 = std::max(window.y1, out.y1);
    const int y2 = std::min(window.y2, out.y2);
    for (int y = y1; y < y2; ++y) {
        if (shouldAbort && shouldAbort()) {
            break;
        }
        row(out, source, layout, y, window.x1, window.x2);
    }
    return true;
}

}  // namespace orvalis::plugin
