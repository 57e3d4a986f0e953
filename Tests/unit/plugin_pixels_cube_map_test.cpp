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
Px<T> pixelAt(const TestImage& img, const PixelView& v, int x, int y) {
    Px<T> p;
    std::memcpy(p.data(), img.pixelBytes(x - v.x1, y - v.y1), sizeof p);
    return p;
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
    const MutablePixelView v = out.mutableView();
    ASSERT_TRUE(renderCubeMap(v, nullptr, RenderWindow{X, Y, X + 200, Y + 170}, 30));
    const PixelView r = readOnly(v);
    EXPECT_EQ(pixelAt<T>(out, r, X, Y), (Px<T>{z, z, z, o}));
    EXPECT_EQ(pixelAt<T>(out, r, X + 29, Y), (Px<T>{o, z, z, o}));
    EXPECT_EQ(pixelAt<T>(out, r, X, Y + 29), (Px<T>{z, o, z, o}));
    EXPECT_EQ(pixelAt<T>(out, r, X + 150, Y + 120), (Px<T>{z, z, o, o}));  // tile 29, top right
    EXPECT_EQ(pixelAt<T>(out, r, X + 179, Y + 149), (Px<T>{o, o, o, o}));
    // Beyond the map, with no source: transparent.
    EXPECT_EQ(pixelAt<T>(out, r, X + 180, Y), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, r, X, Y + 150), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, r, X + 199, Y + 169), (Px<T>{z, z, z, z}));
    // Tile 7 (second row, second column) bottom-left holds blue 7/29.
    const Px<T> t7 = pixelAt<T>(out, r, X + 30, Y + 30);
    EXPECT_EQ(t7[0], z);
    EXPECT_EQ(t7[1], z);
    EXPECT_NE(t7[2], z);
    EXPECT_NE(t7[2], o);
    // Every pixel of the 180 x 150 rectangle is opaque.
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 180; ++x) {
            ASSERT_EQ(pixelAt<T>(out, r, X + x, Y + y)[3], o) << x << "," << y;
        }
    }
    EXPECT_TRUE(out.paddingIntact());
}

TYPED_TEST(PixelsCubeMap, SmallMapOverBlackBackingAndSource) {
    using T = TypeParam;
    constexpr T z = 0, o = one<T>;
    TestImage src(0, 0, 220, 180, depthOf<T>);
    src.fillUnit(0.2f, 0.4f, 0.6f, 0.8f);
    TestImage out(0, 0, 220, 180, depthOf<T>);
    const MutablePixelView v = out.mutableView();
    const PixelView s = src.view();
    ASSERT_TRUE(renderCubeMap(v, &s, RenderWindow{0, 0, 220, 180}, 8));
    const PixelView r = readOnly(v);
    const Px<T> source = pixelAt<T>(src, s, 0, 0);
    EXPECT_EQ(pixelAt<T>(out, r, 15, 23), (Px<T>{o, o, o, o}));  // tile 7, top right
    // Slot 8 (top right of the 3 x 3 tiles) and the rest of the rectangle:
    // opaque black. Where each colour lies is the whole-map test's.
    for (const auto& [x, y] : {std::pair{16, 16}, {23, 23}, {24, 0}, {100, 100}, {179, 149}, {0, 24}}) {
        EXPECT_EQ(pixelAt<T>(out, r, x, y), (Px<T>{z, z, z, o})) << x << "," << y;
    }
    // Beyond the rectangle the source shows, alpha included.
    for (const auto& [x, y] : {std::pair{180, 0}, {0, 150}, {219, 179}}) {
        EXPECT_EQ(pixelAt<T>(out, r, x, y), source) << x << "," << y;
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
    const MutablePixelView v = out.mutableView();
    const PixelView s = src.view();
    ASSERT_TRUE(renderCubeMap(v, &s, RenderWindow{0, 0, 200, 160}, 30));
    const PixelView r = readOnly(v);
    EXPECT_EQ(pixelAt<T>(out, r, 189, 10), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, r, 190, 10), (Px<T>{o, z, o, o}));
    EXPECT_EQ(pixelAt<T>(out, r, 194, 14), (Px<T>{o, z, o, o}));
    EXPECT_EQ(pixelAt<T>(out, r, 195, 14), (Px<T>{z, z, z, z}));
    EXPECT_EQ(pixelAt<T>(out, r, 194, 15), (Px<T>{z, z, z, z}));
}

TYPED_TEST(PixelsCubeMap, OutOfRangeSourceValues) {
    using T = TypeParam;
    TestImage src(0, 0, 200, 20, PixelDepth::Float);
    src.set<float>(190, 10, 2.0f, -1.0f, 0.5f, 1.5f);
    src.set<float>(191, 10, std::nanf(""), 1.0f, 0.0f, 1.0f);
    TestImage out(0, 0, 200, 20, depthOf<T>);
    const MutablePixelView v = out.mutableView();
    const PixelView s = src.view();
    ASSERT_TRUE(renderCubeMap(v, &s, RenderWindow{0, 0, 200, 20}, 30));
    const Px<T> p = pixelAt<T>(out, readOnly(v), 190, 10);
    if constexpr (std::is_same_v<T, float>) {
        EXPECT_EQ(p, (Px<T>{2.0f, -1.0f, 0.5f, 1.5f}));
    } else if constexpr (std::is_same_v<T, std::uint8_t>) {
        EXPECT_EQ(p, (Px<T>{255, 0, 128, 255}));
        EXPECT_EQ(pixelAt<T>(out, readOnly(v), 191, 10)[0], 0);  // NaN becomes 0
    } else {
        EXPECT_EQ(p, (Px<T>{65535, 0, 32768, 65535}));
        EXPECT_EQ(pixelAt<T>(out, readOnly(v), 191, 10)[0], 0);
    }
}

TYPED_TEST(PixelsCubeMap, OnlyTheRenderWindowIsWritten) {
    using T = TypeParam;
    TestImage full(0, 0, 240, 180, depthOf<T>);
    const MutablePixelView fv = full.mutableView();
    ASSERT_TRUE(renderCubeMap(fv, nullptr, RenderWindow{0, 0, 240, 180}, 30));

    TestImage part(0, 0, 240, 180, depthOf<T>, 8);
    part.fillBytes(0x77);
    const MutablePixelView pv = part.mutableView();
    ASSERT_TRUE(renderCubeMap(pv, nullptr, RenderWindow{10, 5, 200, 40}, 30));
    testing::expectWrittenOnlyIn(part, 10, 5, 200, 40, full, 0x77);
}

TYPED_TEST(PixelsCubeMap, WindowPastTheBoundsStaysInside) {
    using T = TypeParam;
    TestImage out(5, 5, 190, 160, depthOf<T>, 4);
    const MutablePixelView v = out.mutableView();
    ASSERT_TRUE(renderCubeMap(v, nullptr, RenderWindow{-1000, -1000, 5000, 5000}, 30));
    EXPECT_EQ(pixelAt<T>(out, readOnly(v), 34, 5)[0], one<T>);
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
    const MutablePixelView v = out.mutableView();
    int polls = 0;
    ASSERT_TRUE(renderCubeMap(v, nullptr, RenderWindow{0, 0, 50, 20}, 30, [&] { return ++polls > 3; }));
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
    for (const int base : {0, 30000}) {
        TestImage src(0, 0, w, h, PixelDepth::UShort, 2);
        for (int py = 300; py < 350; ++py) {
            for (int px = 100; px < 400; ++px) {
                const int i = ((py - 300) * 300 + (px - 100)) * 4 + base;
                src.set<std::uint16_t>(px, py, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i + 1),
                                       static_cast<std::uint16_t>(i + 2), static_cast<std::uint16_t>(i + 3));
                src.set<std::uint16_t>(px + 200, py - 300, static_cast<std::uint16_t>(i),
                                       static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(i + 2),
                                       static_cast<std::uint16_t>(i + 3));
            }
        }
        TestImage out(0, 0, w, h, PixelDepth::UShort, 6);
        const PixelView s = src.view();
        ASSERT_TRUE(renderCubeMap(out.mutableView(), &s, RenderWindow{0, 0, w, h}, 50));
        for (int py = 300; py < 350; ++py) {
            for (int px = 100; px < 400; ++px) {
                ASSERT_EQ(std::memcmp(out.pixelBytes(px, py), src.pixelBytes(px, py), 8), 0) << px << "," << py;
            }
        }
        for (int py = 0; py < h; ++py) {
            for (int px = 400; px < w; ++px) {
                ASSERT_EQ(std::memcmp(out.pixelBytes(px, py), src.pixelBytes(px, py), 8), 0) << px << "," << py;
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
