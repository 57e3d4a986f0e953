// The cube map: layout, tile colours, the black backing, the source showing
// through, conversion to each output depth, and which pixels get written.
#include "pixels/cube_map.h"
#include "plugin_pixels_test_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <tuple>
#include <type_traits>
#include <utility>

namespace orvalis::plugin {
namespace {

using testing::TestImage;

template <class T>
constexpr PixelDepth depthOf = std::is_same_v<T, float> ? PixelDepth::Float
                               : sizeof(T) == 1         ? PixelDepth::UByte
                                                        : PixelDepth::UShort;

// Full scale of a component: 255, 65535 or 1.
template <class T>
constexpr T one = std::is_same_v<T, float> ? T(1) : std::numeric_limits<T>::max();

template <class T>
using Px = std::array<T, 4>;

// The pixel at (x, y) in bounds coordinates.
template <class T>
Px<T> pixelAt(const TestImage& img, int x, int y) {
    const PixelView v = img.view();
    Px<T> p;
    std::memcpy(p.data(), img.pixelBytes(x - v.x1, y - v.y1), sizeof p);
    return p;
}

bool render(TestImage& out, const TestImage* src, const RenderWindow& window, int steps,
            const std::function<bool()>& shouldAbort = {}) {
    const PixelView s = src != nullptr ? src->view() : PixelView{};
    return renderCubeMap(out.mutableView(), src != nullptr ? &s : nullptr, window, steps, shouldAbort);
}

TEST(PixelsCubeMapLayout, SizesAndClamping) {
    const std::tuple<int, int, int, int, int, int> cases[] = {
        // steps in, N, T, W, H, D
        {30, 30, 6, 180, 150, 29}, {8, 8, 3, 24, 24, 7},       {5, 5, 3, 15, 10, 4},      {1, 2, 2, 4, 2, 1},
        {-7, 2, 2, 4, 2, 1},       {100, 64, 8, 512, 512, 63}, {50, 50, 8, 400, 350, 49},
    };
    for (const auto& [in, n, t, w, h, d] : cases) {
        const CubeMapLayout l = cubeMapLayout(in);
        EXPECT_EQ(std::tuple(l.steps, l.tilesPerRow, l.width, l.height, l.divisor), std::tuple(n, t, w, h, d)) << in;
    }
}

template <class T>
class PixelsCubeMap : public ::testing::Test {};
using Depths = ::testing::Types<std::uint8_t, std::uint16_t, float>;
TYPED_TEST_SUITE(PixelsCubeMap, Depths);

// The map starts at the bounds origin, here away from (0, 0), in padded
// top-down rows.
TYPED_TEST(PixelsCubeMap, DefaultMapFillsTheBacking) {
    using T = TypeParam;
    constexpr T z = 0, o = one<T>;
    constexpr int X = -50, Y = -20;
    TestImage out(X, Y, 200, 170, depthOf<T>, 12, true);
    ASSERT_TRUE(render(out, nullptr, RenderWindow{X, Y, X + 200, Y + 170}, 30));
    EXPECT_EQ(pixelAt<T>(out, X, Y), (Px<T>{z, z, z, o}));
    EXPECT_EQ(pixelAt<T>(out, X + 29, Y), (Px<T>{o, z, z, o}));
    EXPECT_EQ(pixelAt<T>(out, X, Y + 29), (Px<T>{z, o, z, o}));
    EXPECT_EQ(pixelAt<T>(out, X + 150, Y + 120), (Px<T>{z, z, o, o}));  // tile 29, top right
    EXPECT_EQ(pixelAt<T>(out, X + 179, Y + 149), (Px<T>{o, o, o, o}));
    // Beyond the map, with no source: transparent.
    EXPECT_EQ(pixelAt<T>(out, X + 180, Y), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, X, Y + 150), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, X + 199, Y + 169), (Px<T>{z, z, z, z}));
    EXPECT_TRUE(out.paddingIntact());
}

TYPED_TEST(PixelsCubeMap, SmallMapOverBlackBackingAndSource) {
    using T = TypeParam;
    constexpr T z = 0, o = one<T>;
    TestImage src(0, 0, 220, 180, depthOf<T>);
    src.fillUnit(0.2f, 0.4f, 0.6f, 0.8f);
    TestImage out(0, 0, 220, 180, depthOf<T>);
    ASSERT_TRUE(render(out, &src, RenderWindow{0, 0, 220, 180}, 8));
    const Px<T> source = pixelAt<T>(src, 0, 0);
    EXPECT_EQ(pixelAt<T>(out, 15, 23), (Px<T>{o, o, o, o}));  // tile 7, top right
    // Slot 8 (top right of the 3 x 3 tiles) and the rest of the rectangle:
    // opaque black. Where each colour lies is the whole-map test's.
    for (const auto& [x, y] : {std::pair{16, 16}, {23, 23}, {24, 0}, {100, 100}, {179, 149}, {0, 24}}) {
        EXPECT_EQ(pixelAt<T>(out, x, y), (Px<T>{z, z, z, o})) << x << "," << y;
    }
    // Beyond the rectangle the source shows, alpha included.
    for (const auto& [x, y] : {std::pair{180, 0}, {0, 150}, {219, 179}}) {
        EXPECT_EQ(pixelAt<T>(out, x, y), source) << x << "," << y;
    }
}

// A byte source under every output depth: read at its own depth and
// bounds, never past its rows, transparent beyond them.
TYPED_TEST(PixelsCubeMap, SourceBeyondItsBoundsIsTransparent) {
    using T = TypeParam;
    constexpr T z = 0, o = one<T>;
    TestImage src(190, 10, 5, 5, PixelDepth::UByte);
    src.fillUnit(1.0f, 0.0f, 1.0f, 1.0f);
    TestImage out(0, 0, 200, 160, depthOf<T>);
    ASSERT_TRUE(render(out, &src, RenderWindow{0, 0, 200, 160}, 30));
    EXPECT_EQ(pixelAt<T>(out, 189, 10), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, 190, 10), (Px<T>{o, z, o, o}));
    EXPECT_EQ(pixelAt<T>(out, 194, 14), (Px<T>{o, z, o, o}));
    EXPECT_EQ(pixelAt<T>(out, 195, 14), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, 194, 15), (Px<T>{z, z, z, z}));
}

TYPED_TEST(PixelsCubeMap, OutOfRangeSourceValues) {
    using T = TypeParam;
    TestImage src(0, 0, 200, 20, PixelDepth::Float);
    src.set<float>(190, 10, 2.0f, -1.0f, 0.5f, 1.5f);
    src.set<float>(191, 10, std::nanf(""), 1.0f, 0.0f, 1.0f);
    TestImage out(0, 0, 200, 20, depthOf<T>);
    ASSERT_TRUE(render(out, &src, RenderWindow{0, 0, 200, 20}, 30));
    const Px<T> p = pixelAt<T>(out, 190, 10);
    if constexpr (std::is_same_v<T, float>) {
        EXPECT_EQ(p, (Px<T>{2.0f, -1.0f, 0.5f, 1.5f}));
    } else {  // clamped; 0.5 rounds up to 128 or 32768
        EXPECT_EQ(p, (Px<T>{one<T>, 0, static_cast<T>(sizeof(T) == 1 ? 128 : 32768), one<T>}));
        EXPECT_EQ(pixelAt<T>(out, 191, 10)[0], 0);  // NaN becomes 0
    }
}

TYPED_TEST(PixelsCubeMap, OnlyTheRenderWindowIsWritten) {
    using T = TypeParam;
    TestImage full(0, 0, 240, 180, depthOf<T>);
    ASSERT_TRUE(render(full, nullptr, RenderWindow{0, 0, 240, 180}, 30));

    TestImage part(0, 0, 240, 180, depthOf<T>, 8);
    part.fillBytes(0x77);
    ASSERT_TRUE(render(part, nullptr, RenderWindow{10, 5, 200, 40}, 30));
    testing::expectWrittenOnlyIn(part, 10, 5, 200, 40, full, 0x77);
}

TYPED_TEST(PixelsCubeMap, WindowPastTheBoundsStaysInside) {
    using T = TypeParam;
    TestImage out(5, 5, 190, 160, depthOf<T>, 4);
    const MutablePixelView v = out.mutableView();
    ASSERT_TRUE(renderCubeMap(v, nullptr, RenderWindow{-1000, -1000, 5000, 5000}, 30));
    EXPECT_EQ(pixelAt<T>(out, 34, 5)[0], one<T>);
    EXPECT_TRUE(out.paddingIntact());
    // A row outside the bounds, or a window beside them, writes nothing.
    renderCubeMapRow<T>(v, nullptr, cubeMapLayout(30), 4, 0, 100);
    renderCubeMapRow<T>(v, nullptr, cubeMapLayout(30), 165, 0, 100);
    renderCubeMapRow<T>(v, nullptr, cubeMapLayout(30), 10, 300, 400);
    EXPECT_TRUE(out.paddingIntact());
}

TYPED_TEST(PixelsCubeMap, AbortStopsBetweenRows) {
    using T = TypeParam;
    TestImage out(0, 0, 50, 20, depthOf<T>);
    out.fillBytes(0x77);
    int polls = 0;
    ASSERT_TRUE(render(out, nullptr, RenderWindow{0, 0, 50, 20}, 30, [&] { return ++polls > 3; }));
    EXPECT_EQ(polls, 4);
    EXPECT_NE(out.pixelBytes(0, 2)[0], 0x77);
    EXPECT_EQ(out.pixelBytes(0, 3)[0], 0x77);
    EXPECT_EQ(out.pixelBytes(49, 19)[0], 0x77);
}

TEST(PixelsCubeMapColours, EveryColourExactlyOnce) {
    for (const int n : {8, 30, 50}) {
        const CubeMapLayout l = cubeMapLayout(n);
        std::set<std::tuple<int, int, int>> seen;
        for (int y = 0; y < l.height; ++y) {
            for (int x = 0; x < l.width; ++x) {
                if (l.tilesPerRow * (y / n) + x / n >= n) {
                    // An empty slot: black on the backing, without a source transparent past it.
                    const bool onBacking = x < 180 && y < 150;
                    ASSERT_EQ(cubeMapColour(l, 0, 0, nullptr, x, y).a, onBacking ? 1.0f : 0.0f) << x << "," << y;
                    continue;
                }
                const Rgba c = cubeMapColour(l, 0, 0, nullptr, x, y);
                ASSERT_EQ(c.a, 1.0f);
                const float d = static_cast<float>(n - 1);
                seen.emplace(std::lround(c.r * d), std::lround(c.g * d), std::lround(c.b * d));
            }
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(n) * n * n) << n;
    }
}

TEST(PixelsCubeMapColours, SameDepthSourceShowsThroughBitExact) {
    // Past the map the source goes through as bytes; in an empty slot beyond
    // the backing (50 steps) it is converted value by value. Both must give
    // back every 16-bit value unchanged.
    const int w = 600, h = 360;
    // The empty slots' part of the patterned rows, and everything past the map.
    const auto shown = [](int px, int py) { return px >= 400 || (px >= 100 && py >= 300 && py < 350); };
    for (const int base : {0, 30000}) {
        TestImage src(0, 0, w, h, PixelDepth::UShort, 2);
        for (int py = 300; py < 350; ++py) {
            for (int px = 100; px < 400; ++px) {
                const int i = ((py - 300) * 300 + (px - 100)) * 4 + base;
                const auto v = [i](int k) { return static_cast<std::uint16_t>(i + k); };
                src.set<std::uint16_t>(px, py, v(0), v(1), v(2), v(3));
                src.set<std::uint16_t>(px + 200, py - 300, v(0), v(1), v(2), v(3));
            }
        }
        TestImage out(0, 0, w, h, PixelDepth::UShort, 6);
        ASSERT_TRUE(render(out, &src, RenderWindow{0, 0, w, h}, 50));
        for (int py = 0; py < h; ++py) {
            for (int px = 0; px < w; ++px) {
                if (shown(px, py)) {
                    ASSERT_EQ(std::memcmp(out.pixelBytes(px, py), src.pixelBytes(px, py), 8), 0) << px << "," << py;
                }
            }
        }
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST(PixelsCubeMapColours, UnwritableOutputsAreRefused) {
    TestImage out(0, 0, 4, 4, PixelDepth::Other);
    out.fillBytes(0x77);
    EXPECT_FALSE(renderCubeMap(out.mutableView(), nullptr, RenderWindow{0, 0, 4, 4}, 30));
    EXPECT_EQ(out.pixelBytes(0, 0)[0], 0x77);
    MutablePixelView empty;
    empty.depth = PixelDepth::Float;
    EXPECT_FALSE(renderCubeMap(empty, nullptr, RenderWindow{0, 0, 4, 4}, 30));
}

}  // namespace
}  // namespace orvalis::plugin
