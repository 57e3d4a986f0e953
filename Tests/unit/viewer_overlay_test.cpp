// The gamut badge without a GL context: scale, geometry, label sizes and
// rebuild rule, coverage, and the platform's text renderer drawing a label.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "render/label_text.h"
#include "render/overlay.h"
#include "render/overlay_geometry.h"

#ifdef _WIN32
#include "shell/win32_label_text.h"
#else
#include "render/freetype_label_text.h"
#endif

namespace {

using namespace orvalis::viewer;

std::unique_ptr<LabelRasterizer> platformRasterizer() {
#ifdef _WIN32
    return win32::makeGdiLabelRasterizer();
#else
    return makeFreeTypeLabelRasterizer();
#endif
}

TEST(OverlayScale, IsOneUpTo720ThenGrowsToFourAt2880AndSizesTheLabels) {
    const struct {
        int height;
        float scale;
        int inWidth, outWidth, labelHeight, pixelHeight;
    } rows[] = {
        {0, 1.0f, 60, 82, 14, 22},      {720, 1.0f, 60, 82, 14, 22},    {760, 760.0f / 720.0f, 63, 86, 14, 23},
        {1440, 2.0f, 120, 164, 28, 44}, {2880, 4.0f, 240, 328, 56, 88}, {5000, 4.0f, 240, 328, 56, 88},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.height);
        const float s = interfaceScale(r.height);
        EXPECT_NEAR(s, r.scale, 1e-6f);
        const LabelSize in = labelDisplaySize(GamutLabel::InGamut, s);
        const LabelSize out = labelDisplaySize(GamutLabel::OutOfGamut, s);
        EXPECT_EQ(in.width, r.inWidth);
        EXPECT_EQ(out.width, r.outWidth);
        EXPECT_EQ(out.height, r.labelHeight);
        EXPECT_EQ(labelPixelHeight(s), r.pixelHeight);
    }
    // The labels are made for max(1, s).
    EXPECT_EQ(labelDisplaySize(GamutLabel::OutOfGamut, 0.5f).width, 82);
    EXPECT_EQ(labelDisplaySize(GamutLabel::InGamut, 0.0f).height, 14);
    EXPECT_EQ(labelPixelHeight(0.25f), 22);
}

TEST(OverlayBadge, SitsInTheTopRightCornerWithItsPartsScaled) {
    const struct {
        int width, height;
        GamutLabel which;
        float s, badgeWidth;
    } views[] = {
        {1280, 720, GamutLabel::InGamut, 1, 96},      {1280, 720, GamutLabel::OutOfGamut, 1, 118},
        {400, 300, GamutLabel::InGamut, 1, 96},       {2560, 1440, GamutLabel::InGamut, 2, 192},
        {5120, 4320, GamutLabel::OutOfGamut, 4, 472},
    };
    for (const auto& v : views) {
        SCOPED_TRACE(v.height);
        const LabelSize label = labelDisplaySize(v.which, interfaceScale(v.height));
        const BadgeGeometry b = badgeGeometry(v.width, v.height, label);
        EXPECT_FLOAT_EQ(b.width, v.badgeWidth);
        EXPECT_FLOAT_EQ(b.height, 22 * v.s);
        EXPECT_FLOAT_EQ(b.borderWidth, v.s);
        EXPECT_FLOAT_EQ(v.width - (b.left + b.width), 14 * v.s);
        EXPECT_FLOAT_EQ(v.height - (b.bottom + b.height), 14 * v.s);
        EXPECT_FLOAT_EQ(b.dotCentre.x, b.left + 14.5f * v.s);
        EXPECT_FLOAT_EQ(b.dotCentre.y, b.bottom + 11 * v.s);
        // With the width above, the label ends 10 pixels inside the right edge; centred in height.
        EXPECT_FLOAT_EQ(b.labelOrigin.x, b.left + 26 * v.s);
        EXPECT_FLOAT_EQ(b.labelOrigin.y, b.bottom + 4 * v.s);
    }
}

TEST(OverlayBadge, OutlineIsARoundedRectangleDrawnCounterClockwiseAndTheDotARing) {
    const BadgeGeometry b = badgeGeometry(1280, 720, labelDisplaySize(GamutLabel::OutOfGamut, 1.0f));
    const auto outline = badgeOutline(b);
    const float r = b.cornerRadius;
    // Counter-clockwise (shoelace), with the rectangle's area less what each
    // corner cuts off: its r x r square less eight 11.25-degree slices. Where
    // it starts is pinned by the fan below, which closes on that point.
    double twiceArea = 0.0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const OverlayPoint &p = outline[i], &q = outline[(i + 1) % outline.size()];
        twiceArea += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
    }
    const double corners = 4.0 * (r * r - 4.0 * r * r * std::sin(3.14159265358979 / 16.0));
    EXPECT_NEAR(twiceArea / 2.0, b.width * b.height - corners, 0.05);

    // The fan: its centre, the outline, and the outline's first point again,
    // on the right edge where the top-right arc begins.
    const std::vector<OverlayPoint> fan = badgeFan(b);
    ASSERT_EQ(fan.size(), outline.size() + 2);
    EXPECT_FLOAT_EQ(fan.front().x, b.left + b.width / 2.0f);
    EXPECT_FLOAT_EQ(fan.front().y, b.bottom + b.height / 2.0f);
    EXPECT_NEAR(fan.back().x, outline.front().x, 1e-3f);
    EXPECT_NEAR(fan.back().y, outline.front().y, 1e-3f);
    EXPECT_NEAR(outline.front().x, b.left + b.width, 1e-3f);
    EXPECT_NEAR(outline.front().y, b.bottom + b.height - r, 1e-3f);

    // The rim starts at angle 0, is straight up a quarter of the way round and closes.
    const std::vector<OverlayPoint> rim = discRim({100.0f, 50.0f}, 6.5f, kDotSegments);
    ASSERT_EQ(rim.size(), static_cast<std::size_t>(kDotSegments) + 1);
    for (const auto& [i, x, y] : {std::tuple{0, 106.5f, 50.0f}, {6, 100.0f, 56.5f}, {kDotSegments, 106.5f, 50.0f}}) {
        EXPECT_NEAR(rim[static_cast<std::size_t>(i)].x, x, 1e-4f) << i;
        EXPECT_NEAR(rim[static_cast<std::size_t>(i)].y, y, 1e-4f) << i;
    }
    for (const OverlayPoint& p : rim)
        EXPECT_NEAR(std::hypot(p.x - 100.0f, p.y - 50.0f), 6.5f, 1e-4f);
    EXPECT_TRUE(discRim({}, 1.0f, 0).empty());
}

TEST(LabelCoverage, DimPixelsVanishAndTheBrightestChannelBecomesAlpha) {
    const std::uint8_t pixels[5][4] = {
        {10, 10, 10, 0},     // at the threshold: gone
        {3, 9, 10, 255},     // alpha from the renderer is not kept either
        {0, 0, 11, 77},      // just above: red is the brightest
        {200, 30, 5, 0},     // ClearType fringe: blue brightest
        {242, 238, 235, 0},  // full coverage of the "In Gamut" colour
    };
    const std::uint8_t expected[5][4] = {
        {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 11, 11}, {200, 30, 5, 200}, {242, 238, 235, 242},
    };
    LabelBitmap bitmap = makeLabelBitmap(5, 1);
    ASSERT_EQ(bitmap.bgra.size(), 20u);
    std::memcpy(bitmap.bgra.data(), pixels, sizeof pixels);
    applyCoverage(bitmap);
    EXPECT_EQ(std::memcmp(bitmap.bgra.data(), expected, sizeof expected), 0);
}

// Records what it was asked and draws nothing; measures every character as
// wide as the character height when told to.
class FakeRasterizer final : public LabelRasterizer {
public:
    bool draw(std::string_view text, const LabelStyle& style, LabelBitmap& bitmap) override {
        lastText = std::string(text);
        lastStyle = style;
        lastSize = {bitmap.width, bitmap.height};
        return false;
    }
    void measure(std::string_view text, const LabelStyle& style, int& width, int& height) override {
        width = measures ? static_cast<int>(text.size()) * style.pixelHeight : 0;
        height = measures ? style.pixelHeight : 0;
    }
    bool measures = false;
    std::string lastText;
    LabelStyle lastStyle;
    LabelSize lastSize;
};

TEST(LabelTexture, AsksForTwiceTheDisplaySizeInTheLabelColourAndFitsWideText) {
    // Nothing drawn, or no rasterizer: no texture, yet the badge keeps its label size.
    FakeRasterizer failing;
    LabelSize size;
    EXPECT_EQ(makeLabelTexture(&failing, GamutLabel::OutOfGamut, interfaceScale(1440), size), 0u);
    EXPECT_EQ(size.width, 164);
    // The text, the bitmap's size, then the style: height, weight and red.
    EXPECT_EQ(std::tuple(failing.lastText, failing.lastSize.width, failing.lastSize.height,
                         failing.lastStyle.pixelHeight, failing.lastStyle.weight, int{failing.lastStyle.red}),
              std::tuple("Out of Gamut", 328, 56, 44, 600, 255));
    makeLabelTexture(&failing, GamutLabel::InGamut, 1.0f, size);
    EXPECT_EQ(failing.lastText, "In Gamut");
    EXPECT_EQ(failing.lastStyle.red, 235);
    EXPECT_EQ(makeLabelTexture(nullptr, GamutLabel::InGamut, 1.0f, size), 0u);
    EXPECT_EQ(size.width, 60);

    // 8 characters of 22 fit 176 pixels exactly; in 164 they need 20 each.
    FakeRasterizer measuring;
    measuring.measures = true;
    LabelStyle style;
    style.pixelHeight = 22;
    style.weight = 600;
    EXPECT_EQ(fitLabelStyle(measuring, "In Gamut", style, 176).pixelHeight, 22);
    const LabelStyle fitted = fitLabelStyle(measuring, "In Gamut", style, 164);
    EXPECT_EQ(fitted.pixelHeight, 20);
    EXPECT_EQ(fitted.weight, 600);
    EXPECT_EQ(fitLabelStyle(measuring, "In Gamut", style, 0).pixelHeight, 1);
    EXPECT_EQ(fitLabelStyle(failing, "In Gamut", style, 10).pixelHeight, 22) << "unmeasured: left alone";
}

LabelStyle labelStyle(GamutLabel which, float scale, int weight = 600) {
    const TextColour colour = labelTextColour(which);
    return {labelPixelHeight(scale), weight, colour.red, colour.green, colour.blue};
}

// How many pixels are covered (non-zero alpha), and where.
struct Ink {
    int count = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

Ink inkOf(const LabelBitmap& bitmap) {
    Ink ink;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            if (bitmap.bgra[static_cast<std::size_t>((y * bitmap.width + x) * 4 + 3)] != 0) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

TEST(PlatformLabelText, DrawsInGamutLeftAlignedAndVerticallyCentred) {
    const std::unique_ptr<LabelRasterizer> rasterizer = platformRasterizer();
    for (const float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(scale);
        const LabelSize texels = labelTextureSize(labelDisplaySize(GamutLabel::InGamut, scale));
        const std::optional<LabelBitmap> bitmap = renderLabel(
            rasterizer.get(), "In Gamut", labelStyle(GamutLabel::InGamut, scale), texels.width, texels.height);
        ASSERT_TRUE(bitmap.has_value());
        // Real text from near the left edge ("I" has no overhang), inside top and bottom.
        const Ink ink = inkOf(*bitmap);
        EXPECT_GT(ink.count, 60 * scale * scale);
        EXPECT_LE(ink.left, 4 * scale);
        EXPECT_GT(ink.right, texels.width / 2);
        EXPECT_GT(ink.top, 0);
        EXPECT_LT(ink.bottom, texels.height - 1);
        EXPECT_NEAR((ink.top + ink.bottom) / 2.0f, texels.height / 2.0f, 3.0f * scale);
    }
}

#ifndef _WIN32

TEST(FreeTypeLabelText, TintsCoverageWithTheTextColourAndClipsWithoutWrapping) {
    const std::unique_ptr<LabelRasterizer> rasterizer = makeFreeTypeLabelRasterizer();
    // DejaVu Sans Bold is wider than the face the sizes were made for: fit it first.
    const LabelStyle style = labelStyle(GamutLabel::OutOfGamut, 1.0f);
    const LabelStyle fitted = fitLabelStyle(*rasterizer, "Out of Gamut", style, 164);
    EXPECT_LT(fitted.pixelHeight, 22);
    EXPECT_GE(fitted.pixelHeight, 20);
    const std::optional<LabelBitmap> bitmap = renderLabel(rasterizer.get(), "Out of Gamut", fitted, 164, 28);
    ASSERT_TRUE(bitmap.has_value());
    int solid = 0;
    for (std::size_t i = 0; i < bitmap->bgra.size(); i += 4) {
        const std::uint8_t* p = &bitmap->bgra[i];
        // Red, the brightest of (255, 205, 205), is alpha; green and blue keep their share.
        if (p[3] != 0) {
            EXPECT_EQ(p[3], p[2]);
            EXPECT_EQ(p[0], p[1]);
            EXPECT_NEAR(p[1], p[2] * 205 / 255, 1);
            solid += p[2] == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(solid, 100) << "glyph interiors are fully covered";
    EXPECT_LT(inkOf(*bitmap).right, 164 - 1) << "the whole label fits its bitmap";

    // A narrow bitmap is the wide one's left part: no glyph pixel wraps to the next row.
    const std::optional<LabelBitmap> wide = renderLabel(rasterizer.get(), "Out of Gamut", style, 164, 28);
    const std::optional<LabelBitmap> narrow = renderLabel(rasterizer.get(), "Out of Gamut", style, 30, 28);
    ASSERT_TRUE(wide && narrow);
    ASSERT_EQ(narrow->bgra.size(), 30u * 28u * 4u);
    for (std::size_t y = 0; y < 28; ++y)
        EXPECT_EQ(std::memcmp(&narrow->bgra[y * 30 * 4], &wide->bgra[y * 164 * 4], 30 * 4), 0) << "row " << y;
    // A bitmap lower than the line still holds the text's middle, clipped.
    const std::optional<LabelBitmap> low = renderLabel(rasterizer.get(), "Out of Gamut", style, 164, 6);
    ASSERT_TRUE(low.has_value());
    EXPECT_GT(inkOf(*low).count, 0);
}

TEST(FreeTypeLabelText, SemiBoldTakesTheBoldFaceAndMissingFontsDrawNothing) {
    const FontFiles dejaVu = dejaVuSansFiles();
    const auto ink = [](const FontFiles& fonts, int weight) {
        const auto rasterizer = makeFreeTypeLabelRasterizer(fonts);
        const auto bitmap =
            renderLabel(rasterizer.get(), "In Gamut", labelStyle(GamutLabel::InGamut, 1.0f, weight), 120, 28);
        return bitmap ? inkOf(*bitmap).count : 0;
    };
    EXPECT_GT(ink(dejaVu, 600), ink(dejaVu, 400) * 11 / 10);
    EXPECT_EQ(ink(dejaVu, 600), ink(dejaVu, 700));
    EXPECT_EQ(ink({dejaVu.regular, "/nonexistent/Bold.ttf"}, 600), ink(dejaVu, 400))
        << "only the regular face there: bold text falls back to it";

    const auto none = makeFreeTypeLabelRasterizer({"/nonexistent/Regular.ttf", "/nonexistent/Bold.ttf"});
    LabelSize size;
    EXPECT_EQ(makeLabelTexture(none.get(), GamutLabel::InGamut, 1.0f, size), 0u);
    int width = -1, height = -1;
    none->measure("In Gamut", labelStyle(GamutLabel::InGamut, 1.0f), width, height);
    EXPECT_EQ(width + height, 0);
}

#endif

}  // namespace
