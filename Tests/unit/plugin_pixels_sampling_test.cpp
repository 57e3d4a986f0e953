// Sampling a frame into colour points: grid size under the cap, which
// pixels are read, the black-border trim, the crop window and the records.
#include "pixels/sampling.h"
#include "effect/parameters.h"
#include "plugin_pixels_test_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvalis::plugin {
namespace {

using testing::TestImage;

// A 16-bit image whose red and green hold each pixel's own column and row,
// so that a sample tells which pixel it came from.
TestImage coordinateImage(int w, int h, int padBytes = 0, bool topDown = false) {
    TestImage img(0, 0, w, h, PixelDepth::UShort, padBytes, topDown);
    for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
            img.set<std::uint16_t>(px, py, static_cast<std::uint16_t>(px), static_cast<std::uint16_t>(py), 7, 65535);
        }
    }
    return img;
}

int columnOf(const Rgb& c) { return static_cast<int>(std::lround(c.r * 65535.0f)); }
int rowOf(const Rgb& c) { return static_cast<int>(std::lround(c.g * 65535.0f)); }

struct GridCase {
    int w, h;
    std::uint32_t cap;
    int gw, gh;
};

TEST(PixelsGridSize, WorkedResults) {
    const GridCase cases[] = {
        {1920, 1080, 50'000, 298, 167}, {1920, 1080, 100'000, 421, 237}, {3840, 2160, 10'000, 133, 75},
        {200, 100, 50'000, 200, 100},   {200, 100, 20'000, 200, 100},    {1, 1'000'000, 50'000, 1, 50'000},
    };
    for (const GridCase& c : cases) {
        const TestImage img(0, 0, c.w, c.h, PixelDepth::UByte);
        const SampleGrid grid = sampleGrid(img.view(), c.cap);
        EXPECT_EQ(grid.gw, c.gw) << c.w << "x" << c.h << " cap " << c.cap;
        EXPECT_EQ(grid.gh, c.gh) << c.w << "x" << c.h << " cap " << c.cap;
        EXPECT_EQ(grid.samples.size(), static_cast<std::size_t>(c.gw) * c.gh);
    }
}

TEST(PixelsGridSize, DownsampleChoiceSetsTheCap) {
    TestImage img(0, 0, 1920, 1080, PixelDepth::UByte);
    img.fillUnit(0.25f, 0.5f, 0.75f);
    EXPECT_EQ(samplePoints(img.view(), false, pointCapForDownsample(0)).size(),
              99'777u);  // "100%" is a count, not every pixel
    EXPECT_EQ(samplePoints(img.view(), false, pointCapForDownsample(2)).size(), 49'766u);
    EXPECT_EQ(samplePoints(img.view(), false, pointCapForDownsample(42)).size(), 49'766u);  // unknown choice: 50,000
    EXPECT_EQ(samplePoints(img.view(), false, pointCapForDownsample(-1)).size(), 49'766u);
    EXPECT_LE(samplePoints(img.view(), false, pointCapForDownsample(4)).size(), 10'000u);
    EXPECT_GT(samplePoints(img.view(), false, pointCapForDownsample(1)).size(), 50'000u);
    EXPECT_LE(samplePoints(img.view(), false, pointCapForDownsample(1)).size(), 75'000u);
}

TEST(PixelsGridSize, EmptyOrMissingImageGivesNothing) {
    const TestImage img(0, 0, 4, 4, PixelDepth::UByte);
    PixelView zeroWidth = img.view(), inverted = img.view(), narrow = img.view();
    zeroWidth.x2 = zeroWidth.x1;
    inverted.y2 = inverted.y1 - 3;
    narrow.rowBytes = 4;  // rows narrower than a row of pixels: not a layout to read
    for (const PixelView& v : {PixelView{}, zeroWidth, inverted, narrow}) {
        const SampleGrid grid = sampleGrid(v, 50'000);
        EXPECT_TRUE(grid.gw == 0 && grid.gh == 0 && grid.samples.empty());
        EXPECT_TRUE(samplePoints(v, false, 50'000).empty());
        EXPECT_TRUE(cropSamples(v).empty());
    }
}

TEST(PixelsGridPixels, NearestPixelsBottomRowFirst) {
    const TestImage img = coordinateImage(1920, 1080);
    const SampleGrid grid = sampleGrid(img.view(), 50'000);
    ASSERT_EQ(grid.gw, 298);
    ASSERT_EQ(grid.gh, 167);
    // From the bottom-left pixel the grid steps by w / gw along a row (rows
    // outer, the bottom row first), rounding down.
    EXPECT_EQ(columnOf(grid.samples[1]), 6);         // floor(1920 / 298)
    EXPECT_EQ(rowOf(grid.samples[298]), 6);          // floor(1080 / 167)
    EXPECT_EQ(columnOf(grid.samples.back()), 1913);  // floor(297 * 1920 / 298)
    EXPECT_EQ(rowOf(grid.samples.back()), 1073);     // floor(166 * 1080 / 167)
}

TEST(PixelsGridPixels, TallNarrowImage) {
    TestImage img(0, 0, 1, 1'000'000, PixelDepth::Float);
    for (int py = 0; py < 1'000'000; ++py) {
        img.set<float>(0, py, 0.0f, static_cast<float>(py), 0.0f, 1.0f);
    }
    const SampleGrid grid = sampleGrid(img.view(), 50'000);
    ASSERT_EQ(grid.samples.size(), 50'000u);
    for (int j = 0; j < 50'000; ++j) {
        ASSERT_EQ(grid.samples[j].g, static_cast<float>(j * 20));
    }
}

TEST(PixelsRead, EachDepthScalesToUnit) {
    TestImage b(0, 0, 2, 1, PixelDepth::UByte);
    b.set<std::uint8_t>(0, 0, 255, 128, 0, 9);
    b.set<std::uint8_t>(1, 0, 1, 2, 3, 0);
    TestImage s(0, 0, 1, 1, PixelDepth::UShort);
    s.set<std::uint16_t>(0, 0, 65535, 32768, 1, 0);
    TestImage o(0, 0, 2, 1, PixelDepth::Other);  // an unknown depth reads as bytes
    o.set<std::uint8_t>(1, 0, 51, 102, 204, 255);
    TestImage f(0, 0, 1, 1, PixelDepth::Float);  // floats pass unchanged, never clamped
    f.set<float>(0, 0, -0.5f, 2.0f, 1e6f, 0.0f);
    const auto colour = [](const TestImage& img, std::size_t i) { return sampleGrid(img.view(), 2).samples.at(i); };
    const struct {
        Rgb got, want;
    } rows[] = {
        {colour(b, 0), {1.0f, 128.0f / 255.0f, 0.0f}},
        {colour(b, 1), {1.0f / 255.0f, 2.0f / 255.0f, 3.0f / 255.0f}},
        {colour(s, 0), {1.0f, 32768.0f / 65535.0f, 1.0f / 65535.0f}},
        {colour(o, 1), {51.0f / 255.0f, 102.0f / 255.0f, 204.0f / 255.0f}},
        {colour(f, 0), {-0.5f, 2.0f, 1e6f}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.got.r, row.want.r);
        EXPECT_EQ(row.got.g, row.want.g);
        EXPECT_EQ(row.got.b, row.want.b);
    }
}

// Every pixel, as the uncapped grid and the crop gather it, comes from its
// own place whatever the row layout.
TEST(PixelsRead, PaddedAndTopDownRowsReadTheRightPixels) {
    for (const int pad : {0, 3, 64}) {  // 3: rows at an odd stride
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "pad " << pad << " topDown " << topDown);
            const TestImage img = coordinateImage(37, 23, pad, topDown);
            for (const std::vector<Rgb>& samples : {sampleGrid(img.view(), 37 * 23).samples, cropSamples(img.view())}) {
                ASSERT_EQ(samples.size(), 37u * 23u);
                for (std::size_t i = 0; i < samples.size(); ++i) {
                    ASSERT_EQ(columnOf(samples[i]), static_cast<int>(i % 37));
                    ASSERT_EQ(rowOf(samples[i]), static_cast<int>(i / 37));
                }
            }
        }
    }
}

TEST(PixelsRead, BoundsAwayFromTheOrigin) {
    TestImage img(-100, 40, 3, 2, PixelDepth::UByte);
    img.set<std::uint8_t>(0, 0, 255, 0, 0, 255);  // the bounds origin
    const SampleGrid grid = sampleGrid(img.view(), 100);
    ASSERT_EQ(grid.samples.size(), 6u);
    EXPECT_EQ(grid.samples[0].r, 1.0f);
    EXPECT_EQ(grid.samples[1].r, 0.0f);
}

SampleGrid gridOf(int gw, int gh, Rgb fill) {
    SampleGrid g;
    g.gw = gw;
    g.gh = gh;
    g.samples.assign(static_cast<std::size_t>(gw) * gh, fill);
    return g;
}

SampleGrid trimmed(SampleGrid grid) {
    trimBlackBorder(grid);
    return grid;
}

bool isBlack(const Rgb& c) { return !(c.r > 0.001f || c.g > 0.001f || c.b > 0.001f); }

TEST(PixelsTrim, LetterboxBarsAreDropped) {
    // A 16:9 picture inside a 4:3 frame with pure black bars above and below.
    TestImage img(0, 0, 640, 480, PixelDepth::UByte);
    for (int py = 60; py < 420; ++py) {
        for (int px = 0; px < 640; ++px) {
            img.setUnit(px, py, 0.2f + 0.5f * (px % 2), 0.4f, 0.6f);
        }
    }
    // Which rows the trim keeps is the table's test; here, that the points are
    // the trimmed grid's, every bar sample gone.
    const SampleGrid grid = sampleGrid(img.view(), 50'000);
    const PointRecordList rec = samplePoints(img.view(), false, pointCapForDownsample(2));
    EXPECT_EQ(rec.size(), trimmed(grid).samples.size());
    for (const auto& r : rec) {
        ASSERT_FALSE(isBlack(Rgb{r.r, r.g, r.b}));
    }
}

// Small grids with a few non-black cells: the box they span is what stays.
TEST(PixelsTrim, Table) {
    struct Cell {
        int x, y;
        Rgb c;
    };
    struct Row {
        const char* what;
        int gw, gh;
        Rgb fill;
        std::vector<Cell> cells;
        int x0, y0, wantW, wantH;  // the box kept
    };
    const Rgb on{0.5f, 0.5f, 0.5f};
    const Row rows[] = {
        {"pillarbox", 10, 4, Rgb{}, {{2, 0, on}, {7, 3, on}}, 2, 0, 6, 4},
        {"dark but not black bars stay", 8, 6, Rgb{0.0f, 0.002f, 0.0f}, {{0, 2, on}}, 0, 0, 8, 6},
        {"0.001 and negatives are black", 5, 5, Rgb{0.001f, 0.001f, -3.0f}, {{3, 2, Rgb{0, 0, 0.0011f}}}, 3, 2, 1, 1},
        {"all black keeps the whole grid", 7, 3, Rgb{}, {}, 0, 0, 7, 3},
        {"black inside the box stays", 6, 6, Rgb{}, {{1, 1, on}, {4, 4, on}}, 1, 1, 4, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SampleGrid g = gridOf(row.gw, row.gh, row.fill);
        for (const Cell& cell : row.cells) {
            g.samples[static_cast<std::size_t>(cell.y) * row.gw + cell.x] = cell.c;
        }
        const SampleGrid t = trimmed(g);
        EXPECT_EQ(t.gw, row.wantW);
        EXPECT_EQ(t.gh, row.wantH);
        ASSERT_EQ(t.samples.size(), static_cast<std::size_t>(row.wantW) * row.wantH);
        // Each kept sample is the one at its place in the box.
        for (int j = 0; j < t.gh; ++j) {
            for (int i = 0; i < t.gw; ++i) {
                const Rgb& kept = t.samples[static_cast<std::size_t>(j) * t.gw + i];
                const Rgb& was = g.samples[static_cast<std::size_t>(j + row.y0) * row.gw + i + row.x0];
                ASSERT_EQ(kept.b, was.b);
                ASSERT_EQ(kept.g, was.g);
            }
        }
    }
}

TEST(PixelsTrim, EmptyAndShortGrids) {
    EXPECT_EQ(trimmed(SampleGrid{}).gw, 0);
    SampleGrid bad = gridOf(3, 3, Rgb{1.0f, 1.0f, 1.0f});
    bad.gw = 0;
    EXPECT_TRUE(trimmed(bad).samples.empty());
    // Fewer samples than gw * gh: the missing ones are skipped, never read.
    SampleGrid shortGrid = gridOf(4, 4, Rgb{1.0f, 1.0f, 1.0f});
    shortGrid.samples.resize(10);
    const SampleGrid t = trimmed(shortGrid);
    EXPECT_EQ(t.gw, 4);
    EXPECT_EQ(t.gh, 3);
    EXPECT_EQ(t.samples.size(), 10u);
}

TEST(PixelsCrop, TheBottomLeftWindowUncappedAndUntrimmed) {
    const TestImage small = coordinateImage(100, 80);
    EXPECT_EQ(samplePoints(small.view(), true, 10).size(), 8'000u);  // no cap
    const TestImage img = coordinateImage(3840, 2160);
    const std::vector<Rgb> s = cropSamples(img.view());
    ASSERT_EQ(s.size(), 27'000u);
    for (int py = 0; py < 150; ++py) {
        for (int px = 0; px < 180; ++px) {
            const Rgb& c = s[static_cast<std::size_t>(py) * 180 + px];
            ASSERT_EQ(columnOf(c), px);
            ASSERT_EQ(rowOf(c), py);
        }
    }
    TestImage dark(0, 0, 200, 20, PixelDepth::UByte);
    dark.setUnit(5, 5, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(samplePoints(dark.view(), true, 50'000).size(), 180u * 20u);  // no trim
}

TEST(PixelsRecords, OrderLayoutAndAlignment) {
    const std::vector<Rgb> samples = {{0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}, {-1.0f, 7.0f, 0.0f}};
    const PointRecordList rec = buildPointRecords(samples);
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(rec.data()) % 32, 0u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Rgb& s = samples[i];  // placed at (b, g, r), its colour as it is, reserved zero
        const exchange::PointRecord want{s.b, s.g, s.r, s.r, s.g, s.b, {0, 0}};
        EXPECT_EQ(std::memcmp(&rec[i], &want, sizeof want), 0) << i;
    }
    EXPECT_TRUE(buildPointRecords({}).empty());
    PointRecordList copy = rec;  // the allocator survives copies
    copy.resize(1000);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(copy.data()) % 32, 0u);
}

}  // namespace
}  // namespace orvalis::plugin
